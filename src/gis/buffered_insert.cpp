#include "gis/buffered_insert.h"

namespace framora {

BufferedInsert::BufferedInsert(Workspace& workspace, OGRLayer& featureClass, UserInterface& ui)
    : workspace_(workspace),
      featureClass_(featureClass),
      ui_(ui),
      feature_(featureClass.GetLayerDefn()),
      idIndex_(featureClass.GetLayerDefn()->GetFieldIndex("ID")) {
  line_.setNumPoints(2);
  workspace_.beginBatch();
}

BufferedInsert::~BufferedInsert() {
  try {
    flush();
  } catch (...) {
    // The caller's own failure is already on its way; a second one would hide it.
  }
}

bool BufferedInsert::insertLine(int id, double x1, double y1, double x2, double y2) {
  line_.setPoint(0, x1, y1);
  line_.setPoint(1, x2, y2);
  return insert(line_, id);
}

bool BufferedInsert::insert(const OGRGeometry& geometry, int id) {
  feature_.SetFID(OGRNullFID);
  feature_.SetGeometry(&geometry);
  if (idIndex_ >= 0) feature_.SetField(idIndex_, id);
  if (featureClass_.CreateFeature(&feature_) != OGRERR_NONE) {
    ui_.message("保存失败");
    return false;
  }
  return true;
}

void BufferedInsert::flush() {
  if (!open_) return;
  open_ = false;
  workspace_.endBatch();
}

}  // namespace framora
