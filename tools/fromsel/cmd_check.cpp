#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunCheck(Arguments&, Output&) {
  throw CliError{ExitUsage, "check is not available yet"};
}

}  // namespace fromsel::cli
