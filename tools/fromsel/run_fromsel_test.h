// Runs the whole fromsel command line in process, with captured streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tools/fromsel/cli.h"

namespace fromsel::cli {

struct CliRun {
  int code;
  std::string out, err;
};

inline CliRun RunFromsel(const std::vector<std::string>& argv, const std::string& input = "") {
  std::ostringstream out, err;
  std::istringstream in(input);
  Output io{out, err, in};
  const int code = RunCommandLine(argv, io);
  return {code, out.str(), err.str()};
}

// A usage or input error as the contract has it: one "fromsel: " line on
// stderr and nothing on stdout.
inline bool IsOneErrorLine(const CliRun& run) {
  return run.out.empty() && run.err.rfind("fromsel: ", 0) == 0 &&
         run.err.find('\n') == run.err.size() - 1;
}

}  // namespace fromsel::cli
