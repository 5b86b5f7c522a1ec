#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace framora::cli {

struct Command {
  std::string summary;  // one line for the overview of --help
  std::string usage;    // full help of the subcommand
  std::function<int(const std::vector<std::string>& args)> run;
};

std::map<std::string, Command>& Commands();

// Each subcommand's file registers itself with a static instance of this.
struct CommandRegistration {
  CommandRegistration(const std::string& name, Command command) {
    Commands().emplace(name, std::move(command));
  }
};

}  // namespace framora::cli
