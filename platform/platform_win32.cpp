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

bool ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  if (size != INVALID_FILE_SIZE && size > 0) {
    text.resize(size);
    DWORD read = 0;
    if (!ReadFile(file, text.data(), size, &read, nullptr)) read = 0;
    text.resize(read);
  }
  CloseHandle(file);
  return true;
}

void InjectWriteFailureForTesting(WriteStep step) { injectedFailure = step; }

bool WriteWholeFileAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  HANDLE file = injectedFailure == WriteStep::Create
                    ? INVALID_HANDLE_VALUE
                    : CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = injectedFailure != WriteStep::Write &&
                  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size() && FlushFileBuffers(file);
  const bool closed = CloseHandle(file);
  if (!ok || !closed || injectedFailure == WriteStep::Replace ||
      !MoveFileExA(temporary.c_str(), path.c_str(),
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
