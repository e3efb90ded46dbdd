// A host held in memory: the stand-in for the mail client that the fromsel
// command, the tests, the fuzzers and the benchmarks give sender selection.
// It serves a data folder's path (whatever lies there is read from disk by
// the code that asks), the current mailbox and folder, source messages by
// reference and the headers of one compose window, and it records what is
// asked of it and written to it.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sender/host_api.h"

namespace fromsel {

class MemoryHost : public HostApi {
 public:
  // What the host serves, in the host's own forms.
  std::string dataFolder;  // ends in a separator
  std::string mailbox;     // the mailbox directory's name and one separator
  std::string folder;      // relative to the data folder, ends in a separator
  std::map<std::string, std::string> sources;  // raw messages by source reference
  std::optional<std::string> anySource;        // served for every other reference
  std::map<std::string, std::string> composeHeaders;  // the compose window's headers

  // What happened. The logs grow with every call, so a benchmark that runs
  // millions of replies turns `recording` off; the count is always kept.
  bool recording = true;
  std::vector<std::string> calls;  // "GetSource REF", "CompSetSpecifiedHeader From", ...
  std::vector<std::pair<std::string, std::string>> headersSet;  // header and value, in order
  std::size_t headerWrites = 0;

  std::string GetDataFolder() override;
  std::string GetCurrentMailBox() override;
  std::string GetCurrentFolder() override;
  void ComposeMail(const std::string& url) override;
  std::optional<std::string> GetSource(const std::string& messageRef) override;
  // As the host does: as much as fits, always NUL-terminated.
  void CompGetSpecifiedHeader(ComposeWindow window, const std::string& header, char* buffer,
                              int size) override;
  // The value also becomes the compose window's header.
  void CompSetSpecifiedHeader(ComposeWindow window, const std::string& header,
                              const std::string& value) override;

 private:
  // Add "CALL" or "CALL ARGUMENT" to `calls` while recording.
  void Log(const char* call);
  void Log(const char* call, const std::string& argument);
};

}  // namespace fromsel
