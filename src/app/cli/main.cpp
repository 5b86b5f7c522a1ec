#include <QGuiApplication>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "layout/gui_application.h"
#include "util/console_user_interface.h"
#include "util/version.h"

namespace framora::cli {

std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}

namespace {

void PrintOverview() {
  std::printf(
      "framora-cli %s - map frames (图廓) for printed map sheets, in batches\n\n"
      "Usage: framora-cli COMMAND [OPTIONS...]\n"
      "       framora-cli COMMAND --help\n\n"
      "Commands:\n",
      kVersionText);
  for (const auto& [name, command] : Commands()) std::printf("  %-10s %s\n", name.c_str(), command.summary.c_str());
  std::printf(
      "\nOptions:\n"
      "  --help     this text\n"
      "  --version  the program's version\n");
}

}  // namespace
}  // namespace framora::cli

int main(int argc, char** argv) {
  using namespace framora::cli;
  // Ctrl-C, a terminal closed and a polite kill all stop between sheets, with the output
  // consistent; set before anything else so that no early one is lost.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    std::signal(signal, [](int) { framora::ConsoleUserInterface::requestStop(); });
  // Pages are drawn without a screen. Qt sees none of the command's arguments (it would take
  // some of them for its own), and sets the locale from the environment, so it comes first.
  framora::DrawOffscreenUnlessAsked();
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QGuiApplication application(qtArgc, qtArgv);
  std::setlocale(LC_ALL, "C.UTF-8");

  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    if (args.size() >= 2 && Commands().count(args[1])) {
      std::printf("%s", Commands().at(args[1]).usage.c_str());
      return 0;
    }
    PrintOverview();
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    std::printf("framora-cli %s\n", framora::kVersionText);
    return 0;
  }
  const auto found = Commands().find(args[0]);
  if (found == Commands().end()) {
    std::fprintf(stderr, "framora-cli: unknown command \"%s\"; see framora-cli --help\n", args[0].c_str());
    return 2;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const auto& arg : rest) {
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", found->second.usage.c_str());
      return 0;
    }
  }
  try {
    return found->second.run(rest);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
