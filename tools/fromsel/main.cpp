#include <iostream>
#include <string>
#include <vector>

#include "tools/fromsel/cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  fromsel::cli::Output io{std::cout, std::cerr, std::cin};
  const int code = fromsel::cli::RunCommandLine(args, io);
  std::cout.flush();
  return code;
}
