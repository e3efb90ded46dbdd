// Win32 implementation of the platform layer.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace fromsel::platform {
namespace {

WriteStep injectedFailure = WriteStep::None;

// First buffer of the profile reader; it doubles while the value fills it.
constexpr DWORD kProfileBufferStart = 260;
// No ini value of ours comes near this; it only stops a runaway loop.
constexpr DWORD kProfileBufferLimit = 1u << 24;

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// One file handle, closed once.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // True when it closed without error.
  bool Close() {
    if (!valid()) return true;
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != FALSE;
  }

 private:
  HANDLE handle_;
};

// Larger files are not read whole: far beyond any settings or ini file, and
// within what one allocation of a 32-bit process can hold.
constexpr LONGLONG kLargestReadFile = LONGLONG{1} << 30;
// Temporary names tried before giving up: only names someone else already
// took are skipped, so a few are plenty.
constexpr int kTemporaryAttempts = 100;
// Room for the final path of a file (the long-path limit).
constexpr DWORD kFinalPathSize = 32768;

using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The path of the file `path` finally names, links followed; `path` itself
// when it names no file yet or the system cannot say (before Vista).
std::string FinalPath(const std::string& path) {
  const auto finalPathOf = reinterpret_cast<FinalPathFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
  if (!finalPathOf) return path;
  const FileHandle file(CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return path;
  std::string final(kFinalPathSize, '\0');
  const DWORD length = finalPathOf(file.get(), final.data(), kFinalPathSize, 0);
  if (length == 0 || length >= kFinalPathSize) return path;
  final.resize(length);
  // "\\?\C:\..." or "\\?\UNC\server\...": back to the ordinary forms.
  if (final.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\\\" + final.substr(8);
  if (final.compare(0, 4, "\\\\?\\") == 0) return final.substr(4);
  return final;
}

// Creates "TARGET.new-PID-N" for writing with the first N that no one has
// taken: CREATE_NEW never opens what is there, a link included.
HANDLE CreateUniqueTemporary(const std::string& target, std::string& temporary) {
  static LONG counter = 0;
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = target + ".new-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(InterlockedIncrement(&counter));
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void LowerAnsiBuffer(char* data, std::size_t size) {
  if (size > 0) CharLowerBuffA(data, static_cast<DWORD>(size));
}

unsigned char LowerAnsiChar(unsigned char c) {
  // CharLowerA treats a pointer whose high word is zero as one character.
  const ULONG_PTR lowered = reinterpret_cast<ULONG_PTR>(
      CharLowerA(reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(c))));
  return static_cast<unsigned char>(lowered & 0xFF);
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

std::vector<DirectoryEntry> ListMailboxEntries(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  WIN32_FIND_DATAA data;
  FindHandle find(FindFirstFileA((folder + "*.mb").c_str(), &data));
  if (find.get() == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(find.get(), &data));
  return entries;
}

FileRead ReadWholeFileStatus(const std::string& path, std::string& text) {
  text.clear();
  // Shared for reading only: a file someone is writing counts as locked.
  const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Absent
                                                                          : FileRead::Unreadable;
  }
  LARGE_INTEGER size = {};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size) ||
      size.QuadPart > kLargestReadFile)
    return FileRead::Unreadable;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read,
                  nullptr))
      return FileRead::Unreadable;
    if (read == 0) break;  // cut short meanwhile: what is there now
    done += read;
  }
  bytes.resize(done);
  text.swap(bytes);
  return FileRead::Read;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  return ReadWholeFileStatus(path, text) == FileRead::Read;
}

void InjectWriteFailureForTesting(WriteStep step) { injectedFailure = step; }

bool WriteWholeFileAtomically(const std::string& path, const std::string& text) {
  const std::string target = FinalPath(path);
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;
  std::string temporary;
  FileHandle file(injectedFailure == WriteStep::Create
                            ? INVALID_HANDLE_VALUE
                            : CreateUniqueTemporary(target, temporary));
  if (!file.valid()) return false;
  DWORD written = 0;
  const bool ok = injectedFailure != WriteStep::Write && text.size() <= MAXDWORD &&
                  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                            nullptr) &&
                  written == text.size() && FlushFileBuffers(file.get());
  const bool closed = file.Close();
  if (!ok || !closed || injectedFailure == WriteStep::Replace ||
      !MoveFileExA(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& iniPath) {
  std::string buffer;
  for (DWORD size = kProfileBufferStart; size <= kProfileBufferLimit; size *= 2) {
    buffer.assign(size, '\0');
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(),
                                                  defaultValue.c_str(), buffer.data(), size,
                                                  iniPath.c_str());
    if (length < size - 2) {
      buffer.resize(length);
      return buffer;
    }
  }
  return std::string(buffer.c_str());
}

bool WriteProfileValue(const std::string& section, const std::string& key,
                       const std::string& value, const std::string& iniPath) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                    iniPath.c_str()) != FALSE;
}

}  // namespace fromsel::platform
