#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPen>

#include <cstdlib>
#include <functional>
#include <string>

#include "layout/band_cut.h"

namespace framora {
namespace {

// A band of a tall page: rows 400 to 520 of it, drawn in device pixels of its own.
constexpr int kWidth = 900, kTop = 400, kRows = 120;

using Draw = std::function<void(QPainter&)>;

QImage DrawBand(const Draw& draw) {
  QImage band(kWidth, kRows, QImage::Format_RGB32);
  band.fill(Qt::white);
  QPainter painter(&band);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.translate(0, -kTop);
  draw(painter);
  return band;
}

// The largest difference of any channel between two bands.
int LargestDifference(const QImage& a, const QImage& b) {
  int largest = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  return largest;
}

int InkedPixels(const QImage& image) {
  int inked = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) inked += image.pixel(x, y) != qRgb(255, 255, 255);
  return inked;
}

// The band in page pixels with the margin a caller gives.
QRectF Around(double margin) { return QRectF(0, kTop, kWidth, kRows).adjusted(-margin, -margin, margin, margin); }

QPainterPath Ring(std::initializer_list<QPointF> corners) {
  QPainterPath path;
  QPolygonF ring(corners);
  ring << ring.front();
  path.addPolygon(ring);
  path.closeSubpath();
  return path;
}

// Stroked whole and stroked cut, the band looks the same: a sloping edge ending at a new point is
// rounded to the rasteriser's 1/64 pixel a shade differently, a few levels at most.
void ExpectSameStroke(const QPainterPath& path, const QPen& pen, const std::string& what) {
  const double reach = 2 * pen.widthF() * std::max(pen.miterLimit(), 1.0) + 4;
  const QPainterPath cut = CutLinesToRect(path, Around(reach));
  const QImage whole = DrawBand([&](QPainter& p) { p.strokePath(path, pen); });
  const QImage pieces = DrawBand([&](QPainter& p) { p.strokePath(cut, pen); });
  EXPECT_GT(InkedPixels(whole), 0) << what;
  EXPECT_LE(LargestDifference(whole, pieces), 4) << what;
}

void ExpectSameFill(const QPainterPath& path, const std::string& what) {
  const QPainterPath cut = CutAreasToRect(path, Around(4));
  const QImage whole = DrawBand([&](QPainter& p) { p.fillPath(path, QColor(40, 90, 160)); });
  const QImage pieces = DrawBand([&](QPainter& p) { p.fillPath(cut, QColor(40, 90, 160)); });
  EXPECT_GT(InkedPixels(whole), 0) << what;
  EXPECT_LE(LargestDifference(whole, pieces), 2) << what;
}

TEST(BandCutTest, StrokesCutToTheBandDrawTheBandAsWholeOnes) {
  QPen thick(QColor(60, 60, 60), 6.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  QPen round(QColor(200, 30, 30, 160), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  QPen hairline(Qt::black, 0.4, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
  // A sheet's outline over the whole page, its first corner far above the band.
  const QPainterPath sheet = Ring({{30, 20}, {870, 12}, {880, 1900}, {25, 1910}});
  // A ring beginning inside the band: the join at its start stays a join.
  const QPainterPath startingInside = Ring({{450, 460}, {880, 30}, {860, 1800}, {20, 1500}});
  // A sharp corner just below the band, whose miter reaches into it.
  QPainterPath spike;
  spike.moveTo(100, 300);
  spike.lineTo(400, 528);
  spike.lineTo(700, 300);
  // A line leaving the band and coming back, and one that only passes by.
  QPainterPath zigzag;
  zigzag.moveTo(-50, 900);
  zigzag.lineTo(200, 450);
  zigzag.lineTo(300, 100);
  zigzag.lineTo(500, 470);
  zigzag.lineTo(950, 480);
  zigzag.moveTo(10, 700);
  zigzag.lineTo(880, 690);
  for (const QPen& pen : {thick, round, hairline}) {
    const std::string width = " at width " + std::to_string(pen.widthF());
    ExpectSameStroke(sheet, pen, "sheet outline" + width);
    ExpectSameStroke(startingInside, pen, "ring starting inside" + width);
    ExpectSameStroke(spike, pen, "corner below the band" + width);
    ExpectSameStroke(zigzag, pen, "line leaving and coming back" + width);
  }
  // What lies wholly outside goes; what lies inside is given back as it was.
  EXPECT_TRUE(CutLinesToRect(Ring({{10, 10}, {50, 10}, {50, 50}}), Around(10)).isEmpty());
  const QPainterPath inside = Ring({{100, 420}, {300, 430}, {200, 500}});
  EXPECT_EQ(CutLinesToRect(inside, Around(10)), inside);
}

TEST(BandCutTest, AreasCutToTheBandFillTheBandAsWholeOnes) {
  // A mask: the page with the sheet cut out of it.
  QPainterPath mask = Ring({{0, 0}, {900, 0}, {900, 2000}, {0, 2000}});
  mask.addPath(Ring({{40, 30}, {860, 22}, {870, 1890}, {35, 1900}}));
  mask.setFillRule(Qt::OddEvenFill);
  ExpectSameFill(mask, "mask, even-odd");
  // The same with a hole wound the other way, filled by winding.
  QPainterPath wound = Ring({{0, 0}, {900, 0}, {900, 2000}, {0, 2000}});
  wound.addPath(Ring({{40, 30}, {35, 1900}, {870, 1890}, {860, 22}}));
  wound.setFillRule(Qt::WindingFill);
  ExpectSameFill(wound, "mask, winding");
  // A ring crossing itself through the band, and a thin sloping sliver.
  QPainterPath bow = Ring({{50, 100}, {850, 900}, {850, 100}, {50, 900}});
  bow.setFillRule(Qt::WindingFill);
  ExpectSameFill(bow, "bow tie, winding");
  bow.setFillRule(Qt::OddEvenFill);
  ExpectSameFill(bow, "bow tie, even-odd");
  ExpectSameFill(Ring({{10, 300}, {890, 610}, {890, 614}, {10, 304}}), "sliver");
  // Nothing of it in the band: nothing left.
  EXPECT_TRUE(CutAreasToRect(Ring({{10, 900}, {500, 900}, {500, 1200}}), Around(4)).isEmpty());
}

TEST(BandCutTest, CurvesAreGivenBackWhole) {
  QPainterPath circle;
  circle.addEllipse(QPointF(450, 460), 800, 800);
  EXPECT_EQ(CutAreasToRect(circle, Around(4)), circle);
  EXPECT_EQ(CutLinesToRect(circle, Around(4)), circle);
}

}  // namespace
}  // namespace framora
