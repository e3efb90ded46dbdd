#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunSearch(Arguments&, Output&) {
  throw CliError{ExitUsage, "search is not available yet"};
}

}  // namespace fromsel::cli
