#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "tools/fromsel/stdio_binary.h"

namespace fromsel::cli {

void SetBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace fromsel::cli
