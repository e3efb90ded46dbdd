// The display name of a From header: written as it stands when it already
// is a phrase (atoms and quoted strings separated by blanks), else as one
// quoted string, so that a comma, a parenthesis or an angle bracket in a
// name can never split or hide part of the header.
#pragma once

#include <string>

namespace fromsel {

// True when `name` is one or more words, each an atom (a run of atom text)
// or a complete quoted string, with blanks between or around them. Bytes
// from 0x80 up count as atom text: the host encodes such names itself.
bool IsPhrase(const std::string& name);

// `name` as it goes before the angle address: unchanged when it is a
// phrase, otherwise in double quotes with every `"` and `\` escaped.
std::string DisplayNameForFrom(const std::string& name);

}  // namespace fromsel
