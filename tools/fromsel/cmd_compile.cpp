#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunCompile(Arguments&, Output&) {
  throw CliError{ExitUsage, "compile is not available yet"};
}

}  // namespace fromsel::cli
