// Binding of the host's entry points, HostApi on top of them, and the
// process's one bound host.
#pragma once

#include <optional>
#include <string>

#include "win32/host_functions.h"
#include "sender/host_api.h"

namespace fromsel {

// Looks the entry points up in the process's main executable. All seven
// required names or nothing: on failure the table is cleared and false
// returned. Succeeds at once when already bound.
bool BindHostFunctions(HostFunctions& functions);

// Looks the entry points up in `module` (a value below 32 is no module).
bool BindHostFunctionsFrom(HMODULE module, HostFunctions& functions);

// HostApi over a bound table. Texts the host returns are copied at once; a
// null text reads as empty.
class BoundHostApi : public HostApi {
 public:
  explicit BoundHostApi(const HostFunctions& functions) : functions_(functions) {}

  std::string GetDataFolder() override;
  std::string GetCurrentMailBox() override;
  std::string GetCurrentFolder() override;
  void ComposeMail(const std::string& url) override;
  std::optional<std::string> GetSource(const std::string& messageRef) override;
  void CompGetSpecifiedHeader(ComposeWindow window, const std::string& header, char* buffer,
                              int size) override;
  void CompSetSpecifiedHeader(ComposeWindow window, const std::string& header,
                              const std::string& value) override;

 private:
  const HostFunctions& functions_;
};

// The host's entry points, bound at load (all null while unbound).
HostFunctions& BoundHostFunctions();
// HostApi over BoundHostFunctions(): GetDataFolder, ComposeMail, ...
HostApi& BoundHost();

}  // namespace fromsel
