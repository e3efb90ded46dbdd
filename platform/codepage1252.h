// Lower-casing of Windows code page 1252, the ANSI code page of Western
// Windows systems; the POSIX platform uses it in place of CharLowerBuffA.
#pragma once

namespace fromsel::platform {

unsigned char LowerCodePage1252(unsigned char c);

}  // namespace fromsel::platform
