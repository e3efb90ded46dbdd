// A fresh, empty folder under the system's temporary folder for one test,
// removed with everything in it when the test ends.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    std::filesystem::create_directories(path_ / relative);
  }
  void WriteFile(const std::string& relative, const std::string& bytes) const {
    std::ofstream file(path_ / relative, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string ReadFile(const std::string& relative) const {
    std::ifstream file(path_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(path_ / relative);
  }

 private:
  static long Pid();
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
