#pragma once

#include <string>

namespace framora {

// The answers to "…已存在，是否删除": OK deletes the output and starts again, 继续 continues
// its unfinished sheets, Cancel keeps it and does nothing.
enum class ExistingOutputAnswer { Delete, Keep, Continue };

// Everything the builders and the driver say to or ask of the user goes through here,
// so they run the same under the windows, the command line and the tests.
class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message; the operation goes on afterwards.
  virtual void message(const std::string& text) = 0;
  // An OK/Cancel question with Cancel as the default; true only for OK.
  virtual bool askOkCancel(const std::string& text, const std::string& caption) = 0;
  // The question about an existing output; where only OK and Cancel can be given, those.
  virtual ExistingOutputAnswer askExistingOutput(const std::string& text, const std::string& caption) {
    return askOkCancel(text, caption) ? ExistingOutputAnswer::Delete : ExistingOutputAnswer::Keep;
  }

  virtual void startProgress(int total, const std::string& caption, bool withCancel) = 0;
  // Advances by count; true once the user has confirmed a stop.
  virtual bool stepProgress(int count) = 0;
  // Whether the user has asked for a stop, without a step: asked between the bands of a long
  // picture, on the thread that runs the job.
  virtual bool stopRequested() { return false; }
  virtual void endProgress(bool force) = 0;
};

// Answers nothing and shows nothing: for operations run where nobody is watching.
class SilentUserInterface : public UserInterface {
 public:
  void message(const std::string&) override {}
  bool askOkCancel(const std::string&, const std::string&) override { return false; }
  void startProgress(int, const std::string&, bool) override {}
  bool stepProgress(int) override { return false; }
  void endProgress(bool) override {}
};

}  // namespace framora
