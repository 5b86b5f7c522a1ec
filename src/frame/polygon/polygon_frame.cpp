#include "frame/polygon/polygon_frame.h"

#include <cmath>
#include <vector>

#include "geodesy/gauss_kruger.h"
#include "util/framora_error.h"

namespace framora {

PolygonFrameBoxes PolygonFrameBoxesOf(const Envelope& featureExtent, double mapToInner, double frameGap) {
  PolygonFrameBoxes boxes;
  boxes.inner = Envelope{std::trunc(featureExtent.xmin - mapToInner), std::trunc(featureExtent.ymin - mapToInner),
                         std::trunc(featureExtent.xmax + mapToInner), std::trunc(featureExtent.ymax + mapToInner)};
  boxes.outer = Envelope{std::trunc(boxes.inner.xmin - frameGap), std::trunc(boxes.inner.ymin - frameGap),
                         std::trunc(boxes.inner.xmax + frameGap), std::trunc(boxes.inner.ymax + frameGap)};
  return boxes;
}

TtkBaseClass::DrawnSheet Tcreatetk::DrawSheet(const OGRFeature& feature) {
  const OGRGeometry* shape = feature.GetGeometryRef();
  if (IsEmptyGeometry(shape)) throw SheetSkipped("要素" + std::to_string(feature.GetFID()) + "没有图形，不生成图廓");
  BeginSheet(feature);
  setSheetGeometry(CloneGeometry(*shape));
  const Envelope extent = SheetExtent(*shape);
  const bool madeNow = DrawNewSheet([&] { DrawSheetFrame(extent.xmin, extent.ymin, extent.xmax, extent.ymax); });
  return DrawnSheet{madeNow,
                    PolygonFrameBoxesOf(extent, settings_.MapToInnerGap * settings_.ScaleFactor, frameGap()).inner};
}

}  // namespace framora
