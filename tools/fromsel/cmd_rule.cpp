#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunRule(Arguments&, Output&) {
  throw CliError{ExitUsage, "rule is not available yet"};
}

}  // namespace fromsel::cli
