#pragma once

#include "frame/frame_builder.h"

namespace framora::testing {

// The base builder with no sheets of its own: its sheet and writing operations, driven by
// hand one sheet at a time.
class SheetWriter : public TtkBaseClass {
 public:
  using TtkBaseClass::TtkBaseClass;
  using TtkBaseClass::DrawNewSheet;

 protected:
  DrawnSheet DrawSheet(const OGRFeature&) override { return {}; }
};

}  // namespace framora::testing
