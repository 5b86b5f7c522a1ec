#pragma once

#include <ogr_spatialref.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gis/geometry.h"

namespace framora {

class Workspace;

// A sheet whose frame is on disk, as the page layout needs it. Borrowed pointers stay valid
// for the document step of that sheet only.
struct FinishedSheet {
  std::string name;                 // the cleaned sheet name; its classes are "L_", "p_", "a_" + name
  Envelope innerFrame;              // in the sheet's map units (metres, or degrees)
  double frameGap = 0;              // from the inner to the outer frame, ground metres
  // Ground metres in one map unit along x and y: 1 on projected sheets.
  double metresPerUnitX = 1;
  double metresPerUnitY = 1;
  double textReferenceScale = 0;    // scale denominator the texts were sized for
  // A geographic sheet's Gauss–Krüger zone (WKT), for documents that show its maps in
  // metres at the map scale; empty for a projected sheet.
  std::string zoneWkt;
  const OGRSpatialReference* spatialReference = nullptr;  // the sheet's; null when unknown
  const OGRGeometry* clipShape = nullptr;                 // the user's map is shown inside it
  Workspace* workspace = nullptr;                         // holds the sheet's classes
  // Asked between the bands of the sheet's picture; yes abandons the picture and throws
  // RunStopped. Empty: never.
  std::function<bool()> stopRequested;
};

// The picture of a sheet whose map document is saved, drawn on a thread of its own while the
// next sheet's frame is built. It reads nothing of the sheet's workspace.
class SheetPicture {
 public:
  virtual ~SheetPicture() = default;
  // Draws and writes the picture on the calling thread, asking stopRequested (safe on that
  // thread) between bands. Throws as BuildSheetDocument does.
  virtual void draw(const std::function<bool()>& stopRequested) = 0;
  // Back on the building thread once draw returned: what the user should hear, as
  // BuildSheetDocument returns it.
  virtual std::vector<std::string> notices() = 0;
};

// Lays a finished sheet out on a page at the map scale, saves its map document and exports
// its picture. The page layout lives above the frame builders; they only hold this seam.
class SheetDocumentBuilder {
 public:
  virtual ~SheetDocumentBuilder() = default;
  // Throws FramoraError when the sheet's document or picture cannot be made, RunStopped when
  // the user stopped the run during its picture. Returns what
  // the user should hear of that still went through (a layer left out of the picture...).
  virtual std::vector<std::string> BuildSheetDocument(const FinishedSheet& sheet) = 0;
  // Whether an earlier run left the sheet's document and picture whole (they are only ever
  // put in place whole), so that a sheet found made need not be laid out again.
  virtual bool SheetDocumentPresent(const FinishedSheet&) const { return false; }
  // Lays the sheet out and saves its map document now, leaving its picture to be drawn
  // elsewhere; throws as BuildSheetDocument does. Null when this builder makes document and
  // picture together in BuildSheetDocument.
  virtual std::unique_ptr<SheetPicture> PrepareSheetDocument(const FinishedSheet&) { return nullptr; }
};

}  // namespace framora
