// The text format of a mailbox's settings file, free of any file access.
#pragma once

#include <string>

#include "rules/settings.h"

namespace fromsel {

// Reads setting lines, rule lines and bare pattern lines into `settings`
// (appending rules; later setting lines override earlier ones).
void ParseSettingsText(const std::string& text, MailboxSettings& settings);

// The text the plug-in writes for `settings`. A TAB, CR or LF inside a field
// is written as a blank so that the file always reads back to the same rules.
std::string FormatSettingsText(const MailboxSettings& settings);

}  // namespace fromsel
