#pragma once

#include <cstdio>
#include <string>

#include "util/user_interface.h"

namespace framora {

// The command line's side of the seam: messages on stderr, questions answered by a flag,
// a text progress bar when stderr is a terminal.
class ConsoleUserInterface : public UserInterface {
 public:
  explicit ConsoleUserInterface(bool answerOk = false, std::FILE* out = stderr);

  void message(const std::string& text) override;
  bool askOkCancel(const std::string& text, const std::string& caption) override;
  void startProgress(int total, const std::string& caption, bool withCancel) override;
  bool stepProgress(int count) override;
  bool stopRequested() override;
  void endProgress(bool force) override;

  // Set from a signal handler: the next step reports a stop, however early it was asked.
  static void requestStop();

 private:
  void drawBar();

  bool answerOk_;
  std::FILE* out_;
  bool interactive_;
  bool progressLines_ = false;  // "PROGRESS done total" lines instead of a bar
  bool active_ = false;
  int total_ = 1;
  int position_ = 0;
  int lastPercent_ = -1;
  std::string caption_;
};

}  // namespace framora
