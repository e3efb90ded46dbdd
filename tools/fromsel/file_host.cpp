#include "tools/fromsel/file_host.h"

#include <algorithm>
#include <cstring>

namespace fromsel::cli {

namespace {

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

std::string WithSeparator(std::string path) {
  if (!EndsWithSeparator(path)) path += '\\';
  return path;
}

std::string WithoutSeparators(std::string path) {
  while (EndsWithSeparator(path)) path.pop_back();
  return path;
}

}  // namespace

FileHost::FileHost(const std::string& dataFolder, const std::string& mailbox,
                   const std::string& folder)
    : dataFolder_(WithSeparator(dataFolder)),
      mailbox_(WithoutSeparators(mailbox)),
      folder_(WithSeparator(folder.empty() ? mailbox_ : folder)) {}

void FileHost::AddSource(const std::string& sourceRef, std::string text) {
  sources_[sourceRef] = std::move(text);
}

void FileHost::SetComposeHeader(const std::string& header, const std::string& value) {
  composeHeaders_[header] = value;
}

void FileHost::ComposeMail(const std::string& url) { composed_.push_back(url); }

std::optional<std::string> FileHost::GetSource(const std::string& messageRef) {
  auto it = sources_.find(messageRef);
  if (it == sources_.end()) return std::nullopt;
  return it->second;
}

void FileHost::CompGetSpecifiedHeader(ComposeWindow, const std::string& header, char* buffer,
                                      int size) {
  if (!buffer || size <= 0) return;
  auto it = composeHeaders_.find(header);
  const std::string value = it == composeHeaders_.end() ? std::string() : it->second;
  // Like the host: as much as fits, always NUL-terminated.
  const std::size_t count = std::min(value.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
}

void FileHost::CompSetSpecifiedHeader(ComposeWindow, const std::string& header,
                                      const std::string& value) {
  composeHeaders_[header] = value;
  set_.emplace_back(header, value);
}

}  // namespace fromsel::cli
