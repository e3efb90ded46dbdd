// Standard input and output carry raw bytes: on Windows the C runtime would
// otherwise turn LF into CR LF on output and stop input at a Ctrl-Z byte.
#pragma once

namespace fromsel::cli {

// Puts stdin, stdout and stderr in binary mode where the platform has a text mode.
void SetBinaryStdio();

}  // namespace fromsel::cli
