#include "platform/codepage1252.h"

namespace fromsel::platform {

// ASCII letters, the Latin-1 capitals 0xC0-0xDE except the multiplication
// sign 0xD7, and four letters that code page 1252 places in 0x80-0x9F.
unsigned char LowerCodePage1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  switch (c) {
    case 0x8A: return 0x9A;  // S caron
    case 0x8C: return 0x9C;  // OE ligature
    case 0x8E: return 0x9E;  // Z caron
    case 0x9F: return 0xFF;  // Y diaeresis
    default: return c;
  }
}

}  // namespace fromsel::platform
