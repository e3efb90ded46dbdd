#include <ostream>

#include "rules/settings_text.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

// fromsel settings [FILE]: the text the plug-in would save for a settings file.
int RunSettings(Arguments& args, Output& io) {
  const std::vector<std::string> positionals = args.Positionals(0, 1);
  const std::string text = ReadInput(positionals.empty() ? "" : positionals[0], io.in);
  MailboxSettings settings;
  ParseSettingsText(text, settings);
  io.out << FormatSettingsText(settings);
  return ExitYes;
}

}  // namespace fromsel::cli
