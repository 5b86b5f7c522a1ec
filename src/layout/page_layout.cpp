#include "layout/page_layout.h"

namespace framora {

MapFrame::MapFrame(const MapFrame& other)
    : name(other.name),
      pageEnvelope(other.pageEnvelope),
      mapUnits(other.mapUnits),
      metresPerMapUnit(other.metresPerMapUnit),
      extent(other.extent),
      layers(other.layers),
      clipShape(other.clipShape ? CloneGeometry(*other.clipShape) : nullptr),
      border(other.border),
      documentCrsWkt(other.documentCrsWkt),
      documentExtent(other.documentExtent) {}

MapFrame& MapFrame::operator=(const MapFrame& other) {
  if (this != &other) *this = MapFrame(other);
  return *this;
}

double MapFrame::scale(const Page& page) const {
  const double pageUnitMm = page.units == kUnitCentimetres ? 10 : 1;
  const double paperMetres = pageEnvelope.height() * pageUnitMm / 1000;
  if (paperMetres <= 0) return 0;
  return extent.height() * metresPerMapUnit / paperMetres;
}

MapFrame* PageLayout::findFrame(const std::string& name) {
  for (auto& frame : frames)
    if (frame.name == name) return &frame;
  return nullptr;
}

const MapFrame* PageLayout::findFrame(const std::string& name) const {
  return const_cast<PageLayout*>(this)->findFrame(name);
}

MapFrame* FindUserDataFrame(PageLayout& layout) {
  for (const char* name : {"Layers", "图层"})
    if (MapFrame* frame = layout.findFrame(name)) return frame;
  const auto isDataFrame = [](const MapFrame& frame) { return frame.name != kOuterMapName; };
  if (layout.focusFrame >= 0 && layout.focusFrame < static_cast<int>(layout.frames.size()) &&
      isDataFrame(layout.frames[layout.focusFrame]))
    return &layout.frames[layout.focusFrame];
  for (auto& frame : layout.frames)
    if (isDataFrame(frame)) return &frame;
  return nullptr;
}

const MapFrame* FindUserDataFrame(const PageLayout& layout) {
  return FindUserDataFrame(const_cast<PageLayout&>(layout));
}

}  // namespace framora
