#include "plugin/testhost/allocation_faults.h"

#include <atomic>
#include <cstddef>
#include <cstring>

namespace fromsel::testhost {
namespace {

using MallocFunction = void*(__cdecl*)(std::size_t);

MallocFunction originalMalloc = nullptr;
std::atomic<long> failing{0};
std::atomic<long> allocations{0};
std::atomic<long> refused{0};

void* __cdecl InterceptedMalloc(std::size_t size) {
  if (++allocations == failing.load()) {
    ++refused;
    return nullptr;
  }
  return originalMalloc(size);
}

// The import address table slot through which `module` calls `function`
// of `dll`, or null.
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
          base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

}  // namespace

bool InterceptPluginAllocations(HMODULE plugin) {
  void** slot = ImportSlot(plugin, "msvcrt.dll", "malloc");
  if (!slot) return false;
  void* const intercepted = reinterpret_cast<void*>(&InterceptedMalloc);
  if (*slot == intercepted) return true;
  DWORD protection = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return false;
  originalMalloc = reinterpret_cast<MallocFunction>(*slot);
  *slot = intercepted;
  VirtualProtect(slot, sizeof *slot, protection, &protection);
  return true;
}

void FailPluginAllocation(long nth) {
  failing = 0;
  allocations = 0;
  failing = nth;
}

long PluginAllocations() { return allocations; }

long RefusedPluginAllocations() { return refused; }

}  // namespace fromsel::testhost
