#include "frame/polygon/polygon_frame.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "frame/zone_geometry.h"
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
  const bool geographic = settings_.GeographicInput;
  planeShape_ = geographic ? GeometryToZone(*shape, zone()) : CloneGeometry(*shape);
  if (!planeShape_) throw SheetSkipped("要素" + std::to_string(feature.GetFID()) + "不能换算到高斯投影，不生成图廓");
  BeginSheet(feature);
  setSheetGeometry(CloneGeometry(*shape));
  const Envelope extent = SheetExtent(*planeShape_);
  const bool madeNow = DrawNewSheet([&] { DrawSheetFrame(extent.xmin, extent.ymin, extent.xmax, extent.ymax); });
  const Envelope inner =
      PolygonFrameBoxesOf(extent, settings_.MapToInnerGap * settings_.ScaleFactor, frameGap()).inner;
  if (!geographic) return DrawnSheet{madeNow, inner};
  // The page is laid out in the layer's degrees, around what the inner frame covers.
  OGRGeometryUniquePtr innerDegrees = GeometryFromZone(*EnvelopePolygon(inner), zone(), InnerSegmentMetres(inner));
  if (!innerDegrees) throw FramoraError("不能换算图幅" + sheetName() + "的经纬度");
  return DrawnSheet{madeNow, EnvelopeOf(*innerDegrees)};
}

double Tcreatetk::InnerSegmentMetres(const Envelope& frame) {
  return std::max(1.0, std::min(frame.width(), frame.height()) / 64);
}

void Tcreatetk::AddPlanePolygon(const OGRGeometry& polygon, int id) {
  if (!settings_.GeographicInput) {
    AddPolygon(polygon, id);
    return;
  }
  OGRGeometryUniquePtr degrees = GeometryFromZone(polygon, zone(), InnerSegmentMetres(EnvelopeOf(polygon)));
  if (!degrees) {
    NotifyOnce(kGaussInverseFailedText);
    return;
  }
  AddPolygon(*degrees, id);
}

}  // namespace framora
