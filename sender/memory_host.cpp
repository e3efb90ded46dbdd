#include "sender/memory_host.h"

#include <algorithm>
#include <cstring>

namespace fromsel {

void MemoryHost::Log(const char* call) {
  if (recording) calls.emplace_back(call);
}

void MemoryHost::Log(const char* call, const std::string& argument) {
  if (recording) calls.push_back(std::string(call) + " " + argument);
}

std::string MemoryHost::GetDataFolder() {
  Log("GetDataFolder");
  return dataFolder;
}

std::string MemoryHost::GetCurrentMailBox() {
  Log("GetCurrentMailBox");
  return mailbox;
}

std::string MemoryHost::GetCurrentFolder() {
  Log("GetCurrentFolder");
  return folder;
}

void MemoryHost::ComposeMail(const std::string& url) { Log("ComposeMail", url); }

std::optional<std::string> MemoryHost::GetSource(const std::string& messageRef) {
  Log("GetSource", messageRef);
  const auto found = sources.find(messageRef);
  if (found != sources.end()) return found->second;
  return anySource;
}

void MemoryHost::CompGetSpecifiedHeader(ComposeWindow, const std::string& header, char* buffer,
                                        int size) {
  Log("CompGetSpecifiedHeader", header);
  if (!buffer || size <= 0) return;
  const auto found = composeHeaders.find(header);
  const std::string empty;
  const std::string& value = found == composeHeaders.end() ? empty : found->second;
  const std::size_t count = std::min(value.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
}

void MemoryHost::CompSetSpecifiedHeader(ComposeWindow, const std::string& header,
                                        const std::string& value) {
  Log("CompSetSpecifiedHeader", header);
  ++headerWrites;
  if (recording) headersSet.emplace_back(header, value);
  composeHeaders[header] = value;
}

}  // namespace fromsel
