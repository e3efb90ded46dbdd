#include "tools/fromsel/stdio_binary.h"

namespace fromsel::cli {

// POSIX streams have no text mode: bytes already pass unchanged.
void SetBinaryStdio() {}

}  // namespace fromsel::cli
