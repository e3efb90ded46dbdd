#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunTry(Arguments&, Output&) {
  throw CliError{ExitUsage, "try is not available yet"};
}

}  // namespace fromsel::cli
