// What sender selection needs of the host: the plug-in binds it to the real
// host's entry points, tests and the fromsel command to a stand-in.
#pragma once

#include <optional>
#include <string>

namespace fromsel {

using ComposeWindow = void*;

class HostApi {
 public:
  virtual ~HostApi() = default;
  // Data folder, ending in a backslash.
  virtual std::string GetDataFolder() = 0;
  // Current mailbox: its directory name followed by one separator character.
  virtual std::string GetCurrentMailBox() = 0;
  // Current folder relative to the data folder, ending in a backslash.
  virtual std::string GetCurrentFolder() = 0;
  virtual void ComposeMail(const std::string& url) = 0;
  // Raw source of a message, or nothing when there is no such message.
  virtual std::optional<std::string> GetSource(const std::string& messageRef) = 0;
  // Copies the named header of a compose window into `buffer` (NUL-terminated).
  virtual void CompGetSpecifiedHeader(ComposeWindow window, const std::string& header,
                                      char* buffer, int size) = 0;
  virtual void CompSetSpecifiedHeader(ComposeWindow window, const std::string& header,
                                      const std::string& value) = 0;
};

}  // namespace fromsel
