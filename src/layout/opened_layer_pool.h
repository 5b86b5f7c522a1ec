#pragma once

#include <string>

#include "gis/map_document.h"

namespace framora {

// The user's layers kept open from picture to picture of a run: opening a GeoPackage costs
// more than drawing a small page. A layer opened is lent to one renderer at a time; while no
// run keeps them, layers given back are closed.
class OpenedLayerPool {
 public:
  // A layer lent to its holder until it goes out of scope, filters cleared and reading reset.
  class Lent {
   public:
    Lent() = default;
    Lent(Lent&& other) noexcept;
    Lent& operator=(Lent&& other) noexcept;
    Lent(const Lent&) = delete;
    Lent& operator=(const Lent&) = delete;
    ~Lent();

    OGRLayer* layer() const { return opened_.layer; }

   private:
    friend class OpenedLayerPool;
    void giveBack();

    std::string key_;
    OpenedLayer opened_;
  };

  // While one of these lives, layers given back stay open for the next picture.
  class KeepOpen {
   public:
    KeepOpen();
    KeepOpen(const KeepOpen&) = delete;
    KeepOpen& operator=(const KeepOpen&) = delete;
    ~KeepOpen();
  };

  // An idle open copy of the layer, or the layer opened afresh; throws as MapDocument::OpenLayer.
  static Lent Borrow(const MapLayer& layer);
  // How many layers are open and idle.
  static size_t IdleCount();
};

}  // namespace framora
