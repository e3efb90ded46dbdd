#include <iostream>
#include <string>
#include <vector>

#include "tools/fromsel/cli.h"
#include "tools/fromsel/stdio_binary.h"

int main(int argc, char** argv) {
  fromsel::cli::SetBinaryStdio();
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  fromsel::cli::Output io{std::cout, std::cerr, std::cin};
  const int code = fromsel::cli::RunCommandLine(args, io);
  std::cout.flush();
  if (!std::cout) {
    // A full disk or a closed pipe: the output is lost, so never report success.
    std::cerr << "fromsel: cannot write the output\n";
    return fromsel::cli::ExitCannotWrite;
  }
  return code;
}
