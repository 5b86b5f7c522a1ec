#pragma once

#include <ogrsf_frmts.h>

#include <string>
#include <vector>

#include "gis/geometry.h"
#include "gis/map_document.h"

namespace framora {

// Unit codes of the page and of maps, as the layout stores them.
inline constexpr int kUnitMillimetres = 7;
inline constexpr int kUnitCentimetres = 8;
inline constexpr int kUnitMetres = 9;

struct Page {
  double width = 210;
  double height = 297;
  int units = kUnitMillimetres;  // 8 centimetres; every other code counts as millimetres

  double widthMm() const { return units == kUnitCentimetres ? width * 10 : width; }
  double heightMm() const { return units == kUnitCentimetres ? height * 10 : height; }
};

// What a layer of a map frame is, which decides how it is drawn.
enum class LayerRole {
  UserData,       // a layer of the user's map document
  SheetTexts,     // the sheet's text class
  SheetLines,     // the sheet's line class, styled by line.qml
  SheetPolygons,  // the sheet's polygon class, styled by poly.qml
};

struct LayoutLayer {
  LayerRole role = LayerRole::UserData;
  MapLayer data;                      // name, data source, layer inside it, filter
  OGRLayer* openClass = nullptr;      // borrowed from the builder while its sheet is built
  double referenceScale = 0;          // texts: the scale their point sizes hold at; 0 none
};

// A map frame on the page: where it stands on the page, which part of the world it
// shows, and what it shows.
struct MapFrame {
  std::string name;
  Envelope pageEnvelope;              // page units, origin at the lower-left corner
  int mapUnits = kUnitMetres;
  double metresPerMapUnit = 1;        // ground metres in one map unit, for the map scale
  Envelope extent;                    // visible bounds in map units
  std::vector<LayoutLayer> layers;    // the top of the map first
  OGRGeometryUniquePtr clipShape;     // map coordinates; nothing shown outside it
  bool border = false;
  // Where a map document shows the frame when not in the map's own coordinates: a
  // geographic sheet's maps in a plane scaled as the picture scales its degrees (WKT), the
  // extent in its metres.
  std::string documentCrsWkt;
  Envelope documentExtent;

  MapFrame() = default;
  MapFrame(MapFrame&&) = default;
  MapFrame& operator=(MapFrame&&) = default;
  MapFrame(const MapFrame& other);
  MapFrame& operator=(const MapFrame& other);

  bool hasExtent() const { return extent.width() > 0 && extent.height() > 0; }
  // Scale denominator: ground length over paper length (page millimetres).
  double scale(const Page& page) const;
};

// The page and its map frames, in drawing order (the first lies at the bottom).
struct PageLayout {
  Page page;
  std::vector<MapFrame> frames;
  int focusFrame = -1;                // the frame whose map is the focus map
  std::string spatialReferenceWkt;    // the maps' coordinate system

  MapFrame* findFrame(const std::string& name);
  const MapFrame* findFrame(const std::string& name) const;
};

// The name of the frame the sheet layers go into.
inline constexpr const char* kOuterMapName = "outer Map";

// The frame of the user's data: the one named "Layers", else "图层", else the focus
// frame, else the first frame; never the frame of the sheet layers. nullptr when none.
MapFrame* FindUserDataFrame(PageLayout& layout);
const MapFrame* FindUserDataFrame(const PageLayout& layout);

}  // namespace framora
