#include "gis/buffered_insert.h"

#include <cpl_error.h>

#include "gis/feature_class.h"
#include "util/framora_error.h"

namespace framora {

BufferedInsert::BufferedInsert(Workspace& workspace, OGRLayer& featureClass)
    : workspace_(workspace),
      featureClass_(featureClass),
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

void BufferedInsert::insertLine(int id, double x1, double y1, double x2, double y2) {
  line_.setPoint(0, x1, y1);
  line_.setPoint(1, x2, y2);
  insert(line_, id);
}

void BufferedInsert::insert(const OGRGeometry& geometry, int id) {
  feature_.SetFID(OGRNullFID);
  feature_.SetGeometry(&geometry);
  if (idIndex_ >= 0) feature_.SetField(idIndex_, id);
  CPLErrorReset();
  if (featureClass_.CreateFeature(&feature_) != OGRERR_NONE) throw FramoraError(SaveFailureText(featureClass_));
}

void BufferedInsert::flush() {
  if (!open_) return;
  open_ = false;
  workspace_.endBatch();
}

}  // namespace framora
