#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "frame/sheet_document.h"

namespace framora {

// One sheet's picture drawn on a thread of its own while the building thread goes on with the
// next sheet; one at a time, so that only one picture's bands are ever in memory. The user's
// stop is asked on the building thread (a window answers only there) and passed on.
class PictureInFlight {
 public:
  PictureInFlight() = default;
  PictureInFlight(const PictureInFlight&) = delete;
  PictureInFlight& operator=(const PictureInFlight&) = delete;
  // A picture still drawing is told to stop and waited for.
  ~PictureInFlight();

  bool busy() const { return picture_ != nullptr; }
  void start(std::unique_ptr<SheetPicture> picture);
  // Waits for the picture, asking stopRequested meanwhile; returns it drawn, or throws what
  // its drawing threw.
  std::unique_ptr<SheetPicture> finish(const std::function<bool()>& stopRequested);

 private:
  void drawPictures();

  std::unique_ptr<SheetPicture> picture_;
  std::future<void> drawn_;
  std::atomic<bool> stop_{false};
  // The run's pictures share one thread: a thread's fonts, once loaded, draw every later
  // picture as the first, so the pictures do not depend on which thread drew them.
  std::mutex guard_;
  std::condition_variable handed_;
  SheetPicture* next_ = nullptr;
  std::promise<void> nextDrawn_;
  bool closing_ = false;
  std::thread thread_;
};

}  // namespace framora
