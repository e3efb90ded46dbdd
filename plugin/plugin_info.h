// The record the host hands to BKC_OnPlugInInfo: four fixed, NUL-terminated
// byte-string fields back to back.
#pragma once

#include <cstddef>

namespace fromsel {

inline constexpr int kPlugInNameSize = 80;
inline constexpr int kPlugInVendorSize = 80;
inline constexpr int kPlugInVersionSize = 80;
inline constexpr int kPlugInDescriptionSize = 256;

struct PlugInInfo {
  char name[kPlugInNameSize];
  char vendor[kPlugInVendorSize];
  char version[kPlugInVersionSize];
  char description[kPlugInDescriptionSize];
};

// The host reads the fields at these offsets, whatever the compiler's bitness.
static_assert(offsetof(PlugInInfo, name) == 0 && offsetof(PlugInInfo, vendor) == 80 &&
                  offsetof(PlugInInfo, version) == 160 &&
                  offsetof(PlugInInfo, description) == 240 && sizeof(PlugInInfo) == 496,
              "the host's record layout");

}  // namespace fromsel
