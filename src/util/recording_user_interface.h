#pragma once

#include <string>
#include <vector>

#include "util/user_interface.h"

namespace framora {

// Keeps every call so tests can assert on what the user would have seen.
class RecordingUserInterface : public UserInterface {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  bool answerOk = false;
  bool answerContinue = false;  // 继续 to the question about an existing output
  int cancelAtStep = -1;  // stepProgress returns true from this step on (1-based); -1 never
  int stopAtCheck = -1;   // stopRequested answers yes from this question on (1-based); -1 never
  int stopChecks = 0;
  int progressTotal = -1;
  std::string progressCaption;
  int stepsTaken = 0;
  int progressStarts = 0;
  int progressEnds = 0;

  void message(const std::string& text) override { messages.push_back(text); }
  bool askOkCancel(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answerOk;
  }
  ExistingOutputAnswer askExistingOutput(const std::string& text, const std::string& caption) override {
    if (!answerContinue) return UserInterface::askExistingOutput(text, caption);
    questions.push_back(text);
    return ExistingOutputAnswer::Continue;
  }
  void startProgress(int total, const std::string& caption, bool) override {
    ++progressStarts;
    progressTotal = total;
    progressCaption = caption;
  }
  bool stepProgress(int count) override {
    stepsTaken += count;
    return cancelAtStep > 0 && stepsTaken >= cancelAtStep;
  }
  void endProgress(bool) override { ++progressEnds; }
  bool stopRequested() override { return ++stopChecks >= stopAtCheck && stopAtCheck > 0; }
};

}  // namespace framora
