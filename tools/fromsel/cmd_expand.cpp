#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunExpand(Arguments&, Output&) {
  throw CliError{ExitUsage, "expand is not available yet"};
}

}  // namespace fromsel::cli
