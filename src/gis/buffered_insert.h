#pragma once

#include <ogrsf_frmts.h>

#include <memory>

#include "gis/workspace.h"

namespace framora {

// The insert cursor of one sheet: features go into the class inside one batch of the
// workspace, committed by flush() (or when the cursor goes away).
class BufferedInsert {
 public:
  BufferedInsert(Workspace& workspace, OGRLayer& featureClass);
  ~BufferedInsert();
  BufferedInsert(const BufferedInsert&) = delete;
  BufferedInsert& operator=(const BufferedInsert&) = delete;

  // A two-point line with its "ID" kind. A store that fails throws FramoraError "保存失败"
  // with the class and the reason: a sheet with lines missing is not a finished sheet.
  void insertLine(int id, double x1, double y1, double x2, double y2);
  void insert(const OGRGeometry& geometry, int id);
  void flush();

 private:
  Workspace& workspace_;
  OGRLayer& featureClass_;
  OGRFeature feature_;
  OGRLineString line_;
  int idIndex_;
  bool open_ = true;
};

}  // namespace framora
