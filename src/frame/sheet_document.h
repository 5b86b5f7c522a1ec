#pragma once

namespace framora {

class TtkBaseClass;

// Lays a finished sheet out on a page at the map scale, saves its map document and exports
// its picture. The page layout lives above the frame builders; they only hold this seam.
class SheetDocumentBuilder {
 public:
  virtual ~SheetDocumentBuilder() = default;
  // The inner frame's extent in the sheet's map units (northings and eastings in metres,
  // or degrees for geographic sheets). Errors end this sheet's document step only.
  virtual void BuildSheetDocument(TtkBaseClass& sheet, double top, double bottom, double right, double left) = 0;
};

}  // namespace framora
