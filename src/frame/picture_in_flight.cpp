#include "frame/picture_in_flight.h"

#include <chrono>

namespace framora {

PictureInFlight::~PictureInFlight() {
  if (!drawn_.valid()) return;
  stop_ = true;
  drawn_.wait();
}

void PictureInFlight::start(std::unique_ptr<SheetPicture> picture) {
  picture_ = std::move(picture);
  stop_ = false;
  SheetPicture* drawing = picture_.get();
  drawn_ = std::async(std::launch::async, [this, drawing] { drawing->draw([this] { return stop_.load(); }); });
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
