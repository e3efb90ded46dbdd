#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunWildcard(Arguments&, Output&) {
  throw CliError{ExitUsage, "wildcard is not available yet"};
}

}  // namespace fromsel::cli
