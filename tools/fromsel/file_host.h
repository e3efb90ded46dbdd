// A host stand-in for the fromsel command: a data folder on disk, source
// messages served from memory by reference, and one compose window whose
// headers live in a map and whose header writes are recorded in order.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sender/host_api.h"

namespace fromsel::cli {

class FileHost : public HostApi {
 public:
  // `dataFolder` gets a trailing separator when it has none; the mailbox is
  // a directory name under it; `folder` is relative to the data folder
  // (empty: the mailbox directory itself).
  FileHost(const std::string& dataFolder, const std::string& mailbox, const std::string& folder);

  // Makes `text` the source served for `sourceRef`.
  void AddSource(const std::string& sourceRef, std::string text);
  // Sets a header of the compose window, as the host does before the plug-in runs.
  void SetComposeHeader(const std::string& header, const std::string& value);

  // The CompSetSpecifiedHeader calls, in order: header name and value.
  const std::vector<std::pair<std::string, std::string>>& HeadersSet() const { return set_; }

  std::string GetDataFolder() override { return dataFolder_; }
  std::string GetCurrentMailBox() override { return mailbox_ + "\\"; }
  std::string GetCurrentFolder() override { return folder_; }
  void ComposeMail(const std::string& url) override;
  std::optional<std::string> GetSource(const std::string& messageRef) override;
  void CompGetSpecifiedHeader(ComposeWindow window, const std::string& header, char* buffer,
                              int size) override;
  void CompSetSpecifiedHeader(ComposeWindow window, const std::string& header,
                              const std::string& value) override;

  const std::vector<std::string>& ComposedUrls() const { return composed_; }

 private:
  std::string dataFolder_;
  std::string mailbox_;
  std::string folder_;
  std::map<std::string, std::string> sources_;
  std::map<std::string, std::string> composeHeaders_;
  std::vector<std::pair<std::string, std::string>> set_;
  std::vector<std::string> composed_;
};

}  // namespace fromsel::cli
