// The few operating-system services the portable core needs. One header,
// two implementations chosen at build time: platform_win32.cpp and
// platform_posix.cpp. Paths use the host's backslash separators; the POSIX
// implementation turns them into slashes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fromsel::platform {

// Lower-cases a buffer in place with the system's ANSI code page rules
// (Windows: CharLowerBuffA; POSIX: a code page 1252 table).
void LowerAnsiBuffer(char* data, std::size_t size);

// Lower-cases one byte the way CharLowerA does when given a single character.
unsigned char LowerAnsiChar(unsigned char c);

// True when `c` starts a two-byte character in the system's ANSI code page
// (Windows: IsDBCSLeadByte, so Japanese systems; POSIX: code page 1252, never).
bool IsLeadByte(unsigned char c);

struct DirectoryEntry {
  std::string name;  // as the enumeration returns it, no path
  bool isDirectory = false;
};

// Entries of `folder` (ending in a separator) whose names match `*.mb`,
// in the platform's enumeration order; "." and ".." are never listed.
std::vector<DirectoryEntry> ListMailboxEntries(const std::string& folder);

// What reading a whole file found.
enum class FileRead {
  Read,        // the file's bytes, all of them
  Absent,      // no file there
  Unreadable,  // something there that cannot be read whole: locked, a
               // folder, a pipe or device (never waited on), a failed read
};

// Reads a whole file into `text` (empty unless Read).
FileRead ReadWholeFileStatus(const std::string& path, std::string& text);

// ReadWholeFileStatus(...) == FileRead::Read.
bool ReadWholeFile(const std::string& path, std::string& text);

// Replaces `path` with `text` without ever leaving a half-written file: the
// text goes to a temporary file of a name no one else uses, created anew in
// the same folder (never through a link), is flushed, and then takes the
// old file's place in one step. A `path` that is a link is replaced at its
// target; a read-only file, or something there that is not a file, is left
// alone (false). On any failure the temporary file is removed and the old
// file is left exactly as it was.
bool WriteWholeFileAtomically(const std::string& path, const std::string& text);

// Steps of WriteWholeFileAtomically at which tests can inject a failure.
enum class WriteStep { None, Create, Write, Replace };
void InjectWriteFailureForTesting(WriteStep step);

// Private-profile (ini) value with the growth rule of the plug-in: read into
// 260 bytes, double while the value fills the buffer less two bytes.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& iniPath);

// Private-profile writer; false when the value could not be written. (Not
// WriteProfileString: windows.h makes that name a macro.)
bool WriteProfileValue(const std::string& section, const std::string& key,
                       const std::string& value, const std::string& iniPath);

}  // namespace fromsel::platform
