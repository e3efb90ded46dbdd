#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunAddresses(Arguments&, Output&) {
  throw CliError{ExitUsage, "addresses is not available yet"};
}

}  // namespace fromsel::cli
