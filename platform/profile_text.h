// Ini-file text handled the way the Windows private-profile functions read
// and write it: case-insensitive section and key names, values trimmed and
// stripped of one pair of enclosing quotes. Used by the POSIX platform.
#pragma once

#include <string>

namespace fromsel::platform {

// The value of `key` in `section`, or the default when either is missing.
std::string FindProfileValue(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& defaultValue);

// The default as the profile reader returns it: trailing blanks removed.
std::string ProfileDefault(const std::string& defaultValue);

// `text` with `key` of `section` set to `value` (section and key added at
// the end when missing).
std::string SetProfileValue(const std::string& text, const std::string& section,
                            const std::string& key, const std::string& value);

}  // namespace fromsel::platform
