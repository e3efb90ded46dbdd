// The settings file format: any text is parsed, formatted and parsed again.
// The second parse must equal the first, except that the writer stores a
// TAB, CR or LF inside a field as a blank (such a field cannot be stored
// faithfully); formatting is then a fixed point. Settings built directly
// from the input must read back exactly when their fields hold none of
// those three bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "rules/settings.h"
#include "rules/settings_text.h"

namespace {

using namespace fromsel;

// Rules built directly from the input per iteration.
constexpr int kMaxBuiltRules = 16;
// Bytes per built field.
constexpr std::size_t kMaxFieldBytes = 64;

std::string Storable(std::string field) {
  for (char& c : field)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return field;
}

MailboxSettings StorableCopy(const MailboxSettings& settings) {
  MailboxSettings copy = settings;
  for (AddressRule& rule : copy.rules) {
    rule.pattern = Storable(rule.pattern);
    rule.name = Storable(rule.name);
    rule.address = Storable(rule.address);
  }
  return copy;
}

void CheckTextRoundTrip(const std::string& text) {
  MailboxSettings first;
  ParseSettingsText(text, first);
  const std::string written = FormatSettingsText(first);
  MailboxSettings second;
  ParseSettingsText(written, second);
  FUZZ_CHECK(SameSettings(second, StorableCopy(first)));
  FUZZ_CHECK(FormatSettingsText(second) == written);
  // Parsing appends rules and overrides switches: a second read of the same
  // text into the same settings doubles the rules and keeps the switches.
  ParseSettingsText(written, second);
  FUZZ_CHECK(second.rules.size() == 2 * first.rules.size());
  FUZZ_CHECK(second.enabled == first.enabled && second.lookAtDeliveredTo == first.lookAtDeliveredTo);
}

// A field with no TAB, CR or LF, as the settings dialog stores it.
std::string CleanField(FuzzedDataProvider& input) {
  return Storable(input.ConsumeRandomLengthString(kMaxFieldBytes));
}

void CheckBuiltRoundTrip(FuzzedDataProvider& input) {
  MailboxSettings built;
  built.enabled = input.ConsumeBool();
  built.lookAtDeliveredTo = input.ConsumeBool();
  const int rules = input.ConsumeIntegralInRange<int>(0, kMaxBuiltRules);
  for (int i = 0; i < rules; ++i) {
    AddressRule rule;
    rule.regex = input.ConsumeBool();
    rule.setSender = input.ConsumeBool();
    rule.verp = input.ConsumeBool();
    rule.pattern = CleanField(input);
    rule.name = CleanField(input);
    rule.address = CleanField(input);
    built.rules.push_back(rule);
  }
  MailboxSettings read;
  ParseSettingsText(FormatSettingsText(built), read);
  FUZZ_CHECK(SameSettings(read, built));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckTextRoundTrip(std::string(reinterpret_cast<const char*>(data), size));
  FuzzedDataProvider input(data, size);
  CheckBuiltRoundTrip(input);
  return 0;
}
