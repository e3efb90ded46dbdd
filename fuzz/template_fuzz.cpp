// ExpandTemplate against a plain reading of its replacement table, with
// registers of two origins: drawn from the input (set or unset groups
// inside the address, any group count), and filled by a real search of a
// rule pattern over the address.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "pattern/regex/match.h"
#include "sender/regex_rule.h"

namespace {

using namespace fromsel;
using namespace fromsel::regex;

// The matcher's register records hold at least this many entries.
constexpr int kMinimumRegisterEntries = 10;
// Group counts drawn from the input: up to and past the nine \n references.
constexpr int kMaxDrawnRegisters = 12;
constexpr std::size_t kMaxFieldBytes = 256;
// Instructions the trial match may run (the search target covers the full budget).
constexpr std::int64_t kMatchBudget = 100000;

std::string GroupText(const std::string& address, const RegexRegisters& registers, int n) {
  const int start = registers.startOffsets[n];
  const int end = registers.endOffsets[n];
  if (start < 0 || end < start) return {};
  return address.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// The replacement table read as it is written: \\ \& \1..\9, anything else
// keeps its backslash and the byte after it is ordinary text.
std::string ExpectedExpansion(const std::string& text, const std::string& address,
                              const RegexRegisters& registers) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[i + 1];
    if (next == '\\') {
      out += '\\';
      ++i;
    } else if (next == '&') {
      out += address;
      ++i;
    } else if (next >= '1' && next <= '9') {
      const int n = next - '0';
      if (n < registers.registerCount) out += GroupText(address, registers, n);
      else if (n > registers.registerCount) out += text.substr(i, 2);
      ++i;
    } else {
      out += '\\';
    }
  }
  return out;
}

// Registers as the matcher leaves them: registerCount groups + 1, at least
// ten entries, unset entries -1, set ones inside the address.
void DrawRegisters(FuzzedDataProvider& input, const std::string& address, RegexRegisters& registers) {
  registers.registerCount = input.ConsumeIntegralInRange<int>(1, kMaxDrawnRegisters);
  registers.allocatedCount = std::max(registers.registerCount, kMinimumRegisterEntries);
  const std::size_t bytes = sizeof(int) * static_cast<std::size_t>(registers.allocatedCount);
  registers.startOffsets = static_cast<int*>(std::malloc(bytes));
  registers.endOffsets = static_cast<int*>(std::malloc(bytes));
  FUZZ_CHECK(registers.startOffsets && registers.endOffsets);
  const int size = static_cast<int>(address.size());
  for (int i = 0; i < registers.allocatedCount; ++i) {
    registers.startOffsets[i] = registers.endOffsets[i] = -1;
    if (i < registers.registerCount && (i == 0 || input.ConsumeBool())) {
      const int a = input.ConsumeIntegralInRange<int>(0, size);
      const int b = input.ConsumeIntegralInRange<int>(0, size);
      registers.startOffsets[i] = std::min(a, b);
      registers.endOffsets[i] = std::max(a, b);
    }
  }
}

void CheckExpansion(const std::string& text, const std::string& address,
                    const RegexRegisters& registers) {
  const std::string expanded = ExpandTemplate(text, address, registers);
  FUZZ_CHECK(expanded == ExpectedExpansion(text, address, registers));
  if (text.find('\\') == std::string::npos) FUZZ_CHECK(expanded == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InstallPlugInTables();
  FuzzedDataProvider input(data, size);
  const std::string text = input.ConsumeRandomLengthString(kMaxFieldBytes);
  const std::string pattern = input.ConsumeRandomLengthString(kMaxFieldBytes);
  const std::string address = input.ConsumeRandomLengthString(kMaxFieldBytes);

  RegexRegistersOwner drawn;
  DrawRegisters(input, address, drawn.get());
  CheckExpansion(text, address, drawn.get());

  // Registers of a real rule match: the pattern as a rule would compile it.
  CompiledRule rule(RuleRegexText(pattern), RuleRegexOptions);
  if (!rule.errorText.empty() || !rule.program) return 0;
  // A rule program begins with AtTextStart, so its search is one attempt at
  // 0; made here on a small budget so that exponential patterns stay quick.
  RegexRegistersOwner owner;
  RegexRegisters& searched = owner.get();
  WorkBudget budget{kMatchBudget};
  const int length = static_cast<int>(address.size());
  if (MatchRegex(*rule.program, address.data(), length, 0, &searched, &budget) >= 0) {
    FUZZ_CHECK(searched.registerCount == rule.program->registerCount);
    FUZZ_CHECK(searched.allocatedCount >= kMinimumRegisterEntries);
    for (int i = searched.registerCount; i < searched.allocatedCount; ++i)
      FUZZ_CHECK(searched.startOffsets[i] == -1 && searched.endOffsets[i] == -1);
    CheckExpansion(text, address, searched);
  }
  return 0;
}
