#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunSettings(Arguments&, Output&) {
  throw CliError{ExitUsage, "settings is not available yet"};
}

}  // namespace fromsel::cli
