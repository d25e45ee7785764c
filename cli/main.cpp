// kvadra: the command-line program for scripted corrupt-restore-measure experiments.
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cCliError.h"
#include "cKvadraCli.h"

namespace {
extern "C" void OnInterrupt(int)
{
  cKvadraCli::RequestCancel();
  // A second Ctrl-C ends the program at once.
  std::signal(SIGINT, SIG_DFL);
}
}  // namespace

int main(int argc, char** argv)
{
  std::signal(SIGINT, OnInterrupt);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    cKvadraCli cli(argv[0], std::cout);
    const int code = cli.Run(arguments);
    std::cout.flush();
    return code;
  } catch (const cCliError& e) {
    std::cerr << "kvadra: " << e.what() << "\n";
    return e.ExitCode();
  } catch (const std::out_of_range& e) {
    std::cerr << "kvadra: internal error: " << e.what() << "\n";
    return ecFailure;
  } catch (const std::exception& e) {
    std::cerr << "kvadra: " << e.what() << "\n";
    return ecFailure;
  }
}
