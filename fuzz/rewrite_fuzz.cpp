// The whole reply path: RewriteSenderWith against an in-memory host, with
// settings (switches and up to a dozen wildcard and regular-expression
// rules) and a source message drawn from the input. Checks: the headers
// are written in the documented shape and order; nothing is written for a
// disabled mailbox, nor once the reply's work bound is reached; a second
// run over the same table (now with its caches filled) and a run over a copy
// of the table (caches empty) write exactly the same headers, and so does a
// run whose searches are the plain ones without the automaton, wherever
// neither reaches the bound.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "pattern/regex/search.h"
#include "rules/settings.h"
#include "sender/memory_host.h"
#include "sender/rewrite.h"

namespace {

using namespace fromsel;

constexpr int kMaxRules = 12;
constexpr std::size_t kMaxFieldBytes = 48;
constexpr std::size_t kMaxReferenceBytes = 600;  // past the 260-byte first read
// A data folder that does not exist: no Folder.ini is ever found.
constexpr const char* kDataFolder = "/nonexistent-fromsel-fuzz-data/";
constexpr const char* kMailbox = "Box.mb";
// Rule work per reply: every reply of these small inputs that does not
// backtrack exponentially stays far inside it, and those that do (with a
// back-reference) do not slow the fuzzing down.
constexpr std::int64_t kReplyWork = 200000;

using HeaderWrites = std::vector<std::pair<std::string, std::string>>;

// The host of one reply; every reference gets the drawn source (or none).
class FuzzHost : public MemoryHost {
 public:
  FuzzHost(const std::string& reference, const std::optional<std::string>& source) {
    dataFolder = kDataFolder;
    mailbox = std::string(kMailbox) + "\\";
    folder = "Box.mb\\Inbox\\";
    composeHeaders["X-Becky-Ref"] = reference;
    anySource = source;
  }
  void CompGetSpecifiedHeader(ComposeWindow window, const std::string& header, char* buffer,
                              int size) override {
    FUZZ_CHECK(size > 0);
    MemoryHost::CompGetSpecifiedHeader(window, header, buffer, size);
  }
};

// Fragments that make rules and messages meet often.
const char* const kPatternPieces[] = {"*", "?", "@", "example.org", "{a,b}", "[a-z]", "\\.",
                                       "(.+)", "|", ".*", "me", "news", "{x,{y,z}}", "[!a]"};
const char* const kSourcePieces[] = {"To: ", "Cc: ", "Delivered-To: ", "\r\n", "\n", "\n\t",
                                      "a@example.org", "news@example.org", "<", ">", ",", ";",
                                      "group:", "\"Doe, John\" ", "(comment)", "me@b", "\r\n\r\n"};

std::string Assemble(FuzzedDataProvider& input, const char* const* pieces, std::size_t count,
                     int maxPieces) {
  std::string text;
  const int n = input.ConsumeIntegralInRange<int>(0, maxPieces);
  for (int i = 0; i < n; ++i) {
    const std::uint8_t choice = input.ConsumeIntegral<std::uint8_t>();
    if (choice % 4 == 0) text += input.ConsumeRandomLengthString(8);
    else text += pieces[choice % count];
  }
  return text;
}

MailboxSettings DrawSettings(FuzzedDataProvider& input) {
  MailboxSettings settings;
  settings.enabled = input.ConsumeIntegralInRange<int>(0, 7) != 0;
  settings.lookAtDeliveredTo = input.ConsumeBool();
  const int rules = input.ConsumeIntegralInRange<int>(0, kMaxRules);
  for (int i = 0; i < rules; ++i) {
    AddressRule rule;
    rule.regex = input.ConsumeBool();
    rule.setSender = input.ConsumeBool();
    rule.verp = input.ConsumeBool();
    rule.pattern = Assemble(input, kPatternPieces, std::size(kPatternPieces), 4);
    rule.name = input.ConsumeRandomLengthString(kMaxFieldBytes);
    rule.address = input.ConsumeRandomLengthString(kMaxFieldBytes);
    settings.rules.push_back(rule);
  }
  return settings;
}

struct RunResult {
  HeaderWrites writes;
  bool boundReached = false;
};

RunResult Run(SettingsTable& table, const std::string& reference,
              const std::optional<std::string>& source) {
  FuzzHost host(reference, source);
  RewriteReport report;
  RewriteSenderWith(host, nullptr, table, &report);
  const HeaderWrites& writes = host.headersSet;
  const bool boundReached = report.stoppedBecause == "work bound reached";
  // At most a Sender and then a From; a From always carries an angle address.
  FUZZ_CHECK(writes.size() <= 2);
  if (!writes.empty()) {
    FUZZ_CHECK(writes.back().first == "From");
    const std::string& from = writes.back().second;
    FUZZ_CHECK(!from.empty() && from.back() == '>' && from.find('<') != std::string::npos);
    FUZZ_CHECK(report.ruleIndex >= 1 && !boundReached);
  } else {
    // Nothing decided, or the bound ran out during a named test.
    FUZZ_CHECK((report.ruleIndex == 0) != boundReached);
    FUZZ_CHECK(!boundReached || report.workUsed > kReplyWork);
  }
  if (writes.size() == 2) {
    FUZZ_CHECK(writes[0].first == "Sender");
    const std::string& sender = writes[0].second;
    FUZZ_CHECK(sender.size() >= 2 && sender.front() == '<' && sender.back() == '>');
  }
  return {writes, boundReached};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InstallPlugInTables();
  SetReplyWorkBudgetForTesting(kReplyWork);
  FuzzedDataProvider input(data, size);
  SettingsTable table;
  table["box.mb"] = DrawSettings(input);
  std::string reference = input.ConsumeBool() ? "Box.mb\\Inbox\\>" : "";
  reference += input.ConsumeRandomLengthString(kMaxReferenceBytes);
  const std::optional<std::string> source =
      input.ConsumeIntegralInRange<int>(0, 15) == 0
          ? std::nullopt
          : std::optional<std::string>(
                Assemble(input, kSourcePieces, std::size(kSourcePieces), 64) +
                input.ConsumeRemainingBytesAsString());

  const SettingsTable pristine = table;  // copies start with empty caches
  const RunResult first = Run(table, reference, source);
  if (!table["box.mb"].enabled) FUZZ_CHECK(first.writes.empty());
  // A rerun with filled caches does less work (no compiling or expanding),
  // so it can only get further; a run on an empty copy does the same work.
  const RunResult again = Run(table, reference, source);
  if (!first.boundReached) FUZZ_CHECK(again.writes == first.writes);
  SettingsTable copy = pristine;
  FUZZ_CHECK(Run(copy, reference, source).writes == first.writes);
  SettingsTable plainCopy = pristine;
  regex::SetPlainSearchForTesting(true);
  const RunResult plain = Run(plainCopy, reference, source);
  regex::SetPlainSearchForTesting(false);
  if (!plain.boundReached && !first.boundReached) FUZZ_CHECK(plain.writes == first.writes);
  return 0;
}
