#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace framora::testing {

// What the command line printed and its exit status.
struct CommandResult {
  int status;
  std::string output;
};

// Any command line, its errors in its output.
inline CommandResult RunCommandStatus(const std::string& commandLine) {
  const std::string command = commandLine + " 2>&1";
  CommandResult result{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, read);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline CommandResult RunCli(const std::string& arguments) {
  return RunCommandStatus(std::string("QT_QPA_PLATFORM=offscreen '") + FRAMORA_CLI + "' " + arguments);
}

}  // namespace framora::testing
