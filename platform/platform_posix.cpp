// POSIX implementation of the platform layer. It mirrors what the Win32
// implementation does on a Western (code page 1252) Windows system, so that
// the core's tests give the same results on both.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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

// A new settings file's permissions: the owner writes, everyone reads.
constexpr mode_t kNewFileMode = 0644;
// Links followed to the file they name; more is a loop (the system's own
// limit is of this order).
constexpr int kMaxLinkHops = 40;
// Temporary names tried before giving up: only names someone else already
// took are skipped, so a few are plenty.
constexpr int kTemporaryAttempts = 100;

// One open file descriptor, closed once.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // True when it closed without error.
  bool Close() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a path names once every link on the last step is followed (the
// path itself when it is no link, or names nothing yet). False on a loop.
bool FollowLinks(std::string path, std::string& target) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      target = path;
      return true;
    }
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0) + 256, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return false;
    link.resize(static_cast<std::size_t>(n));
    path = (!link.empty() && link[0] == '/') ? link : FolderOf(path) + link;
  }
  return false;
}

// No one may write it: the user marked it read-only.
bool IsReadOnly(const struct stat& info) { return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// Creates "TARGET.new-PID-N" for writing, exclusively and never through a
// link, with the first N that no one has taken; -1 when none could be made.
int CreateUniqueTemporary(const std::string& target, mode_t mode, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0777);
    if (fd >= 0) {
      ::fchmod(fd, mode);  // the old file's permissions, whatever the umask took
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

void LowerAnsiBuffer(char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(LowerCodePage1252(static_cast<unsigned char>(data[i])));
}

unsigned char LowerAnsiChar(unsigned char c) { return LowerCodePage1252(c); }

bool IsLeadByte(unsigned char) { return false; }

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

FileRead ReadWholeFileStatus(const std::string& path, std::string& text) {
  text.clear();
  // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
  const FileDescriptor file(
      ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0)
    return errno == ENOENT || errno == ENOTDIR ? FileRead::Absent : FileRead::Unreadable;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return FileRead::Unreadable;
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileRead::Unreadable;
    if (n == 0) break;  // cut short meanwhile: what is there now
    done += static_cast<std::size_t>(n);
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
  std::string target;
  if (!FollowLinks(NativePath(path), target)) return false;
  struct stat info {};
  const bool exists = ::lstat(target.c_str(), &info) == 0;
  if (exists && (!S_ISREG(info.st_mode) || IsReadOnly(info))) return false;
  const mode_t mode = exists ? (info.st_mode & 07777) : kNewFileMode;
  std::string temporary;
  FileDescriptor file(injectedFailure == WriteStep::Create
                                ? -1
                                : CreateUniqueTemporary(target, mode, temporary));
  if (file.get() < 0) return false;
  const bool written =
      injectedFailure != WriteStep::Write && WriteAll(file.get(), text) && ::fsync(file.get()) == 0;
  const bool closed = file.Close();
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
