// For the plug-in tests: runs of the test host programs (testhost.exe and
// friends, beside the test executable), each reporting into a temp folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "testing/test_folder.h"

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
  testing::TestFolder scratch;
  const std::string outputPath = scratch.withSeparator() + "report.txt";
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
  run.output = scratch.ReadFile("report.txt");
  return run;
}

}  // namespace fromsel::testhost
