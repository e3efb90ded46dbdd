// For the plug-in tests: temp data folders on disk and runs of the test
// host programs (testhost.exe and friends, beside the test executable).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fromsel::testhost {

// Safety bound for one host run: a run that hangs (a dialog nobody closes)
// is ended and reported instead of blocking the suite.
inline constexpr DWORD kHostRunLimitMs = 60000;

// The folder of the running executable, with a trailing backslash.
inline std::string ExecutableFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path);
  return text.substr(0, text.find_last_of('\\') + 1);
}

// A fresh folder under the temp directory, removed with its contents.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
      path_ = std::string(base) + "fromsel-plugin-" + std::to_string(GetCurrentProcessId()) +
              "-" + std::to_string(++counter) + "\\";
      if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Ends in a backslash.
  const std::string& Path() const { return path_; }

  void MakeFolder(const std::string& relative) const {
    std::string partial;
    for (char c : relative + "\\") {
      if (c == '\\' && !partial.empty()) CreateDirectoryA((path_ + partial).c_str(), nullptr);
      partial += c;
    }
  }

  void Write(const std::string& relative, const std::string& text) const {
    const size_t slash = relative.find_last_of('\\');
    if (slash != std::string::npos) MakeFolder(relative.substr(0, slash));
    HANDLE file = CreateFileA((path_ + relative).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }

  // The file's bytes, or "<missing>".
  std::string Read(const std::string& relative) const {
    HANDLE file = CreateFileA((path_ + relative).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!text.empty()) ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    return text;
  }

  bool IsFolder(const std::string& relative) const {
    const DWORD attributes = GetFileAttributesA((path_ + relative).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool Exists(const std::string& relative) const {
    return GetFileAttributesA((path_ + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  // Iterative, so no depth is taken from what lies on disk.
  static void RemoveTree(const std::string& root) {
    std::vector<std::string> pending{root};
    std::vector<std::string> folders;
    while (!pending.empty()) {
      const std::string folder = pending.back();
      pending.pop_back();
      folders.push_back(folder);
      WIN32_FIND_DATAA found{};
      HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) continue;
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          pending.push_back(folder + name + "\\");
        } else {
          DeleteFileA((folder + name).c_str());
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryA(it->c_str());
  }

  std::string path_;
};

struct HostRun {
  DWORD exitCode = 0;
  bool finished = false;
  std::string output;  // the host's report, LF line ends

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < output.size()) {
      size_t end = output.find('\n', begin);
      if (end == std::string::npos) end = output.size();
      lines.push_back(output.substr(begin, end - begin));
      begin = end + 1;
    }
    return lines;
  }

  // Lines that start with `prefix`, in order.
  std::vector<std::string> LinesStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : Lines()) {
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    }
    return found;
  }

  bool HasLine(const std::string& line) const {
    for (const std::string& candidate : Lines()) {
      if (candidate == line) return true;
    }
    return false;
  }
};

// One command-line argument quoted so that the C runtime reads it back
// unchanged (backslashes before a quote, or at the end, are doubled).
inline std::string QuoteArgument(const std::string& argument) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

// Runs a host program of ExecutableFolder() with `arguments` (in
// `workingFolder` when given) and collects its report.
inline HostRun RunHost(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingFolder = "") {
  HostRun run;
  TempFolder scratch;
  const std::string outputPath = scratch.Path() + "report.txt";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
  const std::string exe = ExecutableFolder() + program;
  std::string commandLine = QuoteArgument(exe);
  for (const std::string& argument : arguments) commandLine += " " + QuoteArgument(argument);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process{};
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  const BOOL started = CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(),
                                      &startup, &process);
  CloseHandle(output);
  if (!started) {
    run.output = "cannot start " + exe;
    return run;
  }
  if (WaitForSingleObject(process.hProcess, kHostRunLimitMs) == WAIT_OBJECT_0) {
    run.finished = true;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
  } else {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  run.output = scratch.Read("report.txt");
  return run;
}

}  // namespace fromsel::testhost
