#include "layout/opened_layer_pool.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace framora {

namespace {

// Idle layers no run will read again are closed rather than kept past this many.
constexpr size_t kMostIdlePerLayer = 4;

struct Pool {
  std::mutex guard;
  int keepers = 0;
  std::map<std::string, std::vector<OpenedLayer>> idle;
};

Pool& Shared() {
  static Pool pool;
  return pool;
}

std::string KeyOf(const MapLayer& layer) {
  // The three make the layer as opened: the file, the layer in it and its definition query.
  return layer.source + '\n' + layer.sourceLayer + '\n' + layer.subset;
}

}  // namespace

OpenedLayerPool::Lent::Lent(Lent&& other) noexcept
    : key_(std::move(other.key_)), opened_(std::move(other.opened_)) {
  other.opened_.layer = nullptr;
}

OpenedLayerPool::Lent& OpenedLayerPool::Lent::operator=(Lent&& other) noexcept {
  if (this != &other) {
    giveBack();
    key_ = std::move(other.key_);
    opened_ = std::move(other.opened_);
    other.opened_.layer = nullptr;
  }
  return *this;
}

OpenedLayerPool::Lent::~Lent() { giveBack(); }

void OpenedLayerPool::Lent::giveBack() {
  if (opened_.layer == nullptr) return;
  opened_.layer->SetSpatialFilter(nullptr);
  opened_.layer->ResetReading();
  OpenedLayer closing;  // closed outside the lock
  {
    Pool& pool = Shared();
    const std::lock_guard<std::mutex> lock(pool.guard);
    std::vector<OpenedLayer>& idle = pool.idle[key_];
    if (pool.keepers > 0 && idle.size() < kMostIdlePerLayer)
      idle.push_back(std::move(opened_));
    else
      closing = std::move(opened_);
  }
  opened_.layer = nullptr;
}

OpenedLayerPool::KeepOpen::KeepOpen() {
  Pool& pool = Shared();
  const std::lock_guard<std::mutex> lock(pool.guard);
  ++pool.keepers;
}

OpenedLayerPool::KeepOpen::~KeepOpen() {
  std::map<std::string, std::vector<OpenedLayer>> closing;
  Pool& pool = Shared();
  {
    const std::lock_guard<std::mutex> lock(pool.guard);
    // The last run ending closes what it kept: the user may change the files afterwards.
    if (--pool.keepers == 0) closing.swap(pool.idle);
  }
}

OpenedLayerPool::Lent OpenedLayerPool::Borrow(const MapLayer& layer) {
  Lent lent;
  lent.key_ = KeyOf(layer);
  {
    Pool& pool = Shared();
    const std::lock_guard<std::mutex> lock(pool.guard);
    auto found = pool.idle.find(lent.key_);
    if (found != pool.idle.end() && !found->second.empty()) {
      lent.opened_ = std::move(found->second.back());
      found->second.pop_back();
      return lent;
    }
  }
  lent.opened_ = MapDocument::OpenLayer(layer);
  return lent;
}

size_t OpenedLayerPool::IdleCount() {
  Pool& pool = Shared();
  const std::lock_guard<std::mutex> lock(pool.guard);
  size_t count = 0;
  for (const auto& [key, layers] : pool.idle) count += layers.size();
  return count;
}

}  // namespace framora
