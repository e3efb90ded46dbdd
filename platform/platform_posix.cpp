// POSIX implementation of the platform layer. It mirrors what the Win32
// implementation does on a Western (code page 1252) Windows system, so that
// the core's tests give the same results on both.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/codepage1252.h"
#include "platform/profile_text.h"

namespace fromsel::platform {
namespace {

WriteStep injectedFailure = WriteStep::None;

// Windows paths use backslashes; POSIX wants slashes.
std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

bool EndsWithMb(const std::string& name) {
  if (name.size() < 3) return false;
  const std::string tail = name.substr(name.size() - 3);
  return tail[0] == '.' && (tail[1] == 'm' || tail[1] == 'M') && (tail[2] == 'b' || tail[2] == 'B');
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void LowerAnsiBuffer(char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(LowerCodePage1252(static_cast<unsigned char>(data[i])));
}

unsigned char LowerAnsiChar(unsigned char c) { return LowerCodePage1252(c); }

std::vector<DirectoryEntry> ListMailboxEntries(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  const std::string native = NativePath(folder);
  DIR* dir = ::opendir(native.empty() ? "." : native.c_str());
  if (!dir) return entries;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !EndsWithMb(name)) continue;
    struct stat info {};
    const bool isDirectory = ::stat((native + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back({name, isDirectory});
  }
  ::closedir(dir);
  return entries;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    text.resize(static_cast<std::size_t>(info.st_size));
    const ssize_t n = ::read(fd, text.data(), text.size());
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  ::close(fd);
  return true;
}

void InjectWriteFailureForTesting(WriteStep step) { injectedFailure = step; }

bool WriteWholeFileAtomically(const std::string& path, const std::string& text) {
  const std::string target = NativePath(path);
  const std::string temporary = target + ".new";
  const int fd = injectedFailure == WriteStep::Create
                     ? -1
                     : ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const bool written = injectedFailure != WriteStep::Write && WriteAll(fd, text) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || injectedFailure == WriteStep::Replace ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& iniPath) {
  std::string text;
  if (!ReadWholeFile(iniPath, text)) return ProfileDefault(defaultValue);
  return FindProfileValue(text, section, key, defaultValue);
}

bool WriteProfileValue(const std::string& section, const std::string& key,
                       const std::string& value, const std::string& iniPath) {
  std::string text;
  ReadWholeFile(iniPath, text);
  return WriteWholeFileAtomically(iniPath, SetProfileValue(text, section, key, value));
}

}  // namespace fromsel::platform
