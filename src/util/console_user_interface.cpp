#include "util/console_user_interface.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace framora {

namespace {
std::atomic<bool> stopFlag{false};
}

ConsoleUserInterface::ConsoleUserInterface(bool answerOk, std::FILE* out)
    : answerOk_(answerOk), out_(out), interactive_(isatty(fileno(out)) != 0) {
  // Programs that run the command (such as the QGIS plugin) read a line per step.
  const char* progress = std::getenv("FRAMORA_PROGRESS");
  progressLines_ = progress != nullptr && std::string(progress) == "lines";
}

void ConsoleUserInterface::requestStop() { stopFlag = true; }

bool ConsoleUserInterface::stopRequested() { return stopFlag.load(); }

void ConsoleUserInterface::message(const std::string& text) {
  if (active_ && interactive_) std::fputc('\n', out_);
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

bool ConsoleUserInterface::askOkCancel(const std::string& text, const std::string& caption) {
  std::fprintf(out_, "%s%s%s -> %s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str(),
               answerOk_ ? "OK" : "Cancel");
  return answerOk_;
}

void ConsoleUserInterface::startProgress(int total, const std::string& caption, bool) {
  // A stop asked for before the run got this far still counts: the first step reports it.
  active_ = true;
  total_ = total;
  position_ = 0;
  lastPercent_ = -1;
  caption_ = caption;
}

bool ConsoleUserInterface::stepProgress(int count) {
  const bool stop = stopFlag.load();
  if (!active_) return stop;
  if (stop) {
    endProgress(false);
    return true;
  }
  position_ += count;
  if (total_ < 1) total_ = 1;
  drawBar();
  if (position_ == total_) endProgress(true);
  return stop;
}

void ConsoleUserInterface::drawBar() {
  if (progressLines_) {
    std::fprintf(out_, "PROGRESS %d %d\n", position_, total_);
    std::fflush(out_);
    return;
  }
  const int percent = static_cast<int>(static_cast<long long>(position_) * 100 / total_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  if (!interactive_) return;
  const int width = 30;
  const int filled = percent >= 100 ? width : percent * width / 100;
  std::fprintf(out_, "\r%s [%s%s] %3d%% (%d/%d)", caption_.c_str(), std::string(filled, '#').c_str(),
               std::string(width - filled, '.').c_str(), percent, position_, total_);
  std::fflush(out_);
}

void ConsoleUserInterface::endProgress(bool) {
  if (!active_) return;
  active_ = false;
  if (interactive_ && lastPercent_ >= 0) std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace framora
