// A fresh, empty folder under the system's temporary folder for one test,
// removed with everything in it when the test ends. It serves as the host's
// data folder: mailbox directories, their Mailbox.ini and settings files.
// Relative names may use either separator.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>

namespace fromsel::testing {

class TestFolder {
 public:
  TestFolder() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      path_ = base / ("fromsel-test-" + std::to_string(Pid()) + "-" +
                      std::to_string(counter++) + "-" + std::to_string(attempt));
      std::error_code error;
      if (std::filesystem::create_directory(path_, error)) break;
    }
  }
  ~TestFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as the host hands a data folder over: ending in a separator.
  std::string withSeparator() const {
    return path_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
  }

  void MakeDirectory(const std::string& relative) const {
    std::filesystem::create_directories(Native(relative));
  }
  // A mailbox directory as the host keeps it; its Mailbox.ini names the
  // account when `accountName` is not empty.
  void MakeMailbox(const std::string& directory, const std::string& accountName = "") const {
    MakeDirectory(directory);
    if (!accountName.empty())
      WriteFile(directory + "/Mailbox.ini", "[Account]\r\nName=" + accountName + "\r\n");
  }
  // Writes the whole file, making the folders on its way.
  void WriteFile(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path filePath = Native(relative);
    std::error_code error;
    std::filesystem::create_directories(filePath.parent_path(), error);
    std::ofstream file(filePath, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // The file's bytes; empty when it cannot be read.
  std::string ReadFile(const std::string& relative) const {
    std::ifstream file(Native(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& relative) const {
    std::error_code error;
    return std::filesystem::exists(Native(relative), error);
  }
  bool IsFolder(const std::string& relative) const {
    std::error_code error;
    return std::filesystem::is_directory(Native(relative), error);
  }
  // Every file and folder below, by relative path with forward slashes:
  // a file's bytes, "<dir>" for a folder. Shows that nothing was written.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      const std::string relative = entry.path().lexically_relative(path_).generic_string();
      files[relative] = entry.is_regular_file() ? ReadFile(relative) : "<dir>";
    }
    return files;
  }

 private:
  static long Pid();
  // Host paths use backslashes; the POSIX file system wants slashes.
  std::filesystem::path Native(std::string relative) const {
    for (char& c : relative)
      if (c == '\\' || c == '/') c = static_cast<char>(std::filesystem::path::preferred_separator);
    return path_ / relative;
  }

  std::filesystem::path path_;
};

}  // namespace fromsel::testing

#if defined(_WIN32)
#include <process.h>
inline long fromsel::testing::TestFolder::Pid() { return _getpid(); }
#else
#include <unistd.h>
inline long fromsel::testing::TestFolder::Pid() { return static_cast<long>(getpid()); }
#endif
