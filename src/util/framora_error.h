#pragma once

#include <stdexcept>
#include <string>

namespace framora {

// An error that ends the current operation. what() is the exact text the user sees.
class FramoraError : public std::runtime_error {
 public:
  explicit FramoraError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace framora
