#include <ostream>

#include "pattern/wildcard/brace_expansion.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

int RunExpand(Arguments& args, Output& io) {
  const std::vector<std::string> positionals = args.Positionals(1, 1);
  const std::string pattern = args.Bytes(positionals[0]);
  std::vector<std::string> entries;
  ExpandBraces(pattern, entries);
  for (const std::string& entry : entries) io.out << entry << '\n';
  return ExitYes;
}

}  // namespace fromsel::cli
