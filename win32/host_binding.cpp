#include "win32/host_binding.h"

#include <cstdint>
#include <memory>

namespace fromsel {
namespace {

// Module handles below this value are error codes, not modules.
constexpr std::uintptr_t kSmallestModuleHandle = 32;

template <typename Function>
bool Lookup(HMODULE module, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

std::string CopyHostText(LPCSTR text) { return text ? std::string(text) : std::string(); }

HostFunctions g_hostFunctions;
BoundHostApi g_boundHost(g_hostFunctions);

}  // namespace

HostFunctions& BoundHostFunctions() { return g_hostFunctions; }
HostApi& BoundHost() { return g_boundHost; }

bool BindHostFunctionsFrom(HMODULE module, HostFunctions& functions) {
  if (functions.hostModule) return true;
  if (reinterpret_cast<std::uintptr_t>(module) < kSmallestModuleHandle) {
    functions = HostFunctions();
    return false;
  }
  HostFunctions bound;
  const char* const* name = kRequiredHostFunctionNames;
  const bool all = Lookup(module, name[0], bound.getDataFolder) &&
                   Lookup(module, name[1], bound.getCurrentMailBox) &&
                   Lookup(module, name[2], bound.getCurrentFolder) &&
                   Lookup(module, name[3], bound.composeMail) &&
                   Lookup(module, name[4], bound.getSource) &&
                   Lookup(module, name[5], bound.compGetSpecifiedHeader) &&
                   Lookup(module, name[6], bound.compSetSpecifiedHeader);
  if (!all) {
    functions = HostFunctions();
    return false;
  }
  Lookup(module, kHostFreeFunctionName, bound.free);  // optional
  bound.hostModule = module;
  functions = bound;
  return true;
}

bool BindHostFunctions(HostFunctions& functions) {
  if (functions.hostModule) return true;
  return BindHostFunctionsFrom(GetModuleHandleA(nullptr), functions);
}

std::string BoundHostApi::GetDataFolder() {
  return functions_.getDataFolder ? CopyHostText(functions_.getDataFolder()) : std::string();
}

std::string BoundHostApi::GetCurrentMailBox() {
  return functions_.getCurrentMailBox ? CopyHostText(functions_.getCurrentMailBox())
                                      : std::string();
}

std::string BoundHostApi::GetCurrentFolder() {
  return functions_.getCurrentFolder ? CopyHostText(functions_.getCurrentFolder())
                                     : std::string();
}

void BoundHostApi::ComposeMail(const std::string& url) {
  if (functions_.composeMail) functions_.composeMail(url.c_str());
}

std::optional<std::string> BoundHostApi::GetSource(const std::string& messageRef) {
  if (!functions_.getSource) return std::nullopt;
  // The host allocated the text; it goes back to the host however the copy
  // ends (a copy can run out of memory), so that it is never leaked.
  const auto release = [this](char* text) {
    if (functions_.free) functions_.free(text);
  };
  const std::unique_ptr<char, decltype(release)> source(functions_.getSource(messageRef.c_str()),
                                                        release);
  if (!source) return std::nullopt;
  return std::string(source.get());
}

void BoundHostApi::CompGetSpecifiedHeader(ComposeWindow window, const std::string& header,
                                          char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  if (functions_.compGetSpecifiedHeader) {
    functions_.compGetSpecifiedHeader(static_cast<HWND>(window), header.c_str(), buffer, size);
  }
}

void BoundHostApi::CompSetSpecifiedHeader(ComposeWindow window, const std::string& header,
                                          const std::string& value) {
  if (functions_.compSetSpecifiedHeader) {
    functions_.compSetSpecifiedHeader(static_cast<HWND>(window), header.c_str(), value.c_str());
  }
}

}  // namespace fromsel
