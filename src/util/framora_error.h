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

// The user stopped the run while a sheet's picture was being drawn: nothing of the picture
// is left, and the sheet is not finished.
class RunStopped : public std::runtime_error {
 public:
  RunStopped() : std::runtime_error("stopped") {}
};

}  // namespace framora
