// The record the host hands to BKC_OnPlugInInfo: four fixed, NUL-terminated
// byte-string fields back to back.
#pragma once

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

static_assert(sizeof(PlugInInfo) == 496, "the host's record layout");

}  // namespace fromsel
