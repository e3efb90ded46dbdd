#include <ostream>

#include "sender/recipients.h"
#include "tools/fromsel/cli.h"
#include "tools/fromsel/json_lines.h"

namespace fromsel::cli {

namespace {

// JSON strings carry any byte; a text line shows control bytes and
// backslashes as \xHH, so no address prints a line of its own.
void PrintCandidate(const char* header, const std::string& address, bool json, std::ostream& out) {
  if (json)
    out << "{\"header\": " << JsonString(header) << ", \"address\": " << JsonString(address)
        << "}\n";
  else
    out << header << '\t' << PrintableBytes(address) << '\n';
}

// Prints every candidate of one header line; never stops the walk.
int PrintCandidates(const std::string& line, const char* header, bool json, std::ostream& out) {
  int printed = 0;
  MatchHeaderAddresses(line, [&](const std::string& address) {
    PrintCandidate(header, address, json, out);
    ++printed;
    return false;
  });
  return printed;
}

}  // namespace

int RunAddresses(Arguments& args, Output& io) {
  const bool json = args.TakeFlag("--json");
  const std::vector<std::string> positionals = args.Positionals(0, 1);
  const std::string path = positionals.empty() ? std::string() : positionals[0];
  if (!positionals.empty() && path.empty()) throw CliError{ExitUsage, "empty MESSAGE path"};
  const RecipientHeaders headers = CollectRecipientHeaders(ReadMessage(path, io.in));
  int printed = PrintCandidates(headers.to, "To", json, io.out);
  printed += PrintCandidates(headers.cc, "Cc", json, io.out);
  if (!headers.deliveredTo.empty()) {
    PrintCandidate("Delivered-To", DeliveredToAddress(headers.deliveredTo), json, io.out);
    ++printed;
  }
  return printed > 0 ? ExitYes : ExitNo;
}

}  // namespace fromsel::cli
