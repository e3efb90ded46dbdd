#include <ostream>

#include "sender/recipients.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

namespace {

// Prints every candidate of one header line; never stops the walk.
int PrintCandidates(const std::string& line, const char* header, std::ostream& out) {
  int printed = 0;
  MatchHeaderAddresses(line, [&](const std::string& address) {
    out << header << '\t' << PrintableBytes(address) << '\n';
    ++printed;
    return false;
  });
  return printed;
}

}  // namespace

int RunAddresses(Arguments& args, Output& io) {
  const std::vector<std::string> positionals = args.Positionals(0, 1);
  const std::string path = positionals.empty() ? std::string() : positionals[0];
  if (!positionals.empty() && path.empty()) throw CliError{ExitUsage, "empty MESSAGE path"};
  const RecipientHeaders headers = CollectRecipientHeaders(ReadInput(path, io.in));
  int printed = PrintCandidates(headers.to, "To", io.out);
  printed += PrintCandidates(headers.cc, "Cc", io.out);
  if (!headers.deliveredTo.empty()) {
    io.out << "Delivered-To\t" << PrintableBytes(DeliveredToAddress(headers.deliveredTo)) << '\n';
    ++printed;
  }
  return printed > 0 ? ExitYes : ExitNo;
}

}  // namespace fromsel::cli
