#include "frame/picture_in_flight.h"

#include <chrono>

namespace framora {

PictureInFlight::~PictureInFlight() {
  if (drawn_.valid()) {
    stop_ = true;
    drawn_.wait();
  }
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(guard_);
    closing_ = true;
  }
  handed_.notify_one();
  thread_.join();
}

void PictureInFlight::start(std::unique_ptr<SheetPicture> picture) {
  picture_ = std::move(picture);
  stop_ = false;
  std::promise<void> drawn;
  drawn_ = drawn.get_future();
  {
    const std::lock_guard<std::mutex> lock(guard_);
    next_ = picture_.get();
    nextDrawn_ = std::move(drawn);
  }
  if (!thread_.joinable()) thread_ = std::thread([this] { drawPictures(); });
  handed_.notify_one();
}

void PictureInFlight::drawPictures() {
  for (;;) {
    SheetPicture* picture = nullptr;
    std::promise<void> drawn;
    {
      std::unique_lock<std::mutex> lock(guard_);
      handed_.wait(lock, [this] { return next_ != nullptr || closing_; });
      if (next_ == nullptr) return;
      picture = next_;
      next_ = nullptr;
      drawn = std::move(nextDrawn_);
    }
    try {
      picture->draw([this] { return stop_.load(); });
      drawn.set_value();
    } catch (...) {
      drawn.set_exception(std::current_exception());
    }
  }
}

std::unique_ptr<SheetPicture> PictureInFlight::finish(const std::function<bool()>& stopRequested) {
  // Often enough for a window to stay responsive; a picture done ends the wait at once.
  constexpr auto kAskEvery = std::chrono::milliseconds(20);
  while (drawn_.wait_for(kAskEvery) != std::future_status::ready)
    if (!stop_ && stopRequested && stopRequested()) stop_ = true;
  std::unique_ptr<SheetPicture> picture = std::move(picture_);
  drawn_.get();
  return picture;
}

}  // namespace framora
