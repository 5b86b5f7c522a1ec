#pragma once

#include <stdexcept>
#include <string>

namespace framora {

// An error that ends the current operation. what() is the exact text the user sees.
class FramoraError : public std::runtime_error {
 public:
  explicit FramoraError(const std::string& message) : std::runtime_error(message) {}
};

// This sheet cannot be made (no shape, no name, corners that cannot be read); the run goes
// on with the next one after the user has been told why.
class SheetSkipped : public FramoraError {
 public:
  using FramoraError::FramoraError;
};

}  // namespace framora
