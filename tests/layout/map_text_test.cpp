#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QPainter>

#include "layout/map_text.h"

namespace framora {
namespace {

TextSymbol Symbol(int horizontal, int vertical, double spacing = 0, const std::string& face = "宋体") {
  TextSymbol symbol;
  symbol.fontName = face;
  symbol.horizontalAlignment = horizontal;
  symbol.verticalAlignment = vertical;
  symbol.characterSpacing = spacing;
  return symbol;
}

TEST(MapTextStandIns, WindowsFacesGetFacesOfTheirMetricModelBeforeNoto) {
  for (const FaceSubstitution& substitution : FaceSubstitutions()) {
    ASSERT_FALSE(substitution.standIns.empty()) << substitution.windowsFace;
    const std::string& first = substitution.standIns.front();
    EXPECT_TRUE(first.find("AR PL") != std::string::npos || first.find("Mono") != std::string::npos) << first;
    EXPECT_NE(substitution.standIns.back().find("Noto"), std::string::npos) << substitution.windowsFace;
  }
  if (QFontDatabase::hasFamily("AR PL SungtiL GB")) {
    EXPECT_EQ(InstalledFace("宋体"), "AR PL SungtiL GB");
    EXPECT_EQ(InstalledFace("SimSun"), "AR PL SungtiL GB");
    EXPECT_EQ(InstalledFace("没有这种字体"), "AR PL SungtiL GB");
  }
  if (QFontDatabase::hasFamily("AR PL KaitiM GB")) {
    EXPECT_EQ(InstalledFace("楷体_GB2312"), "AR PL KaitiM GB");
  }
  if (QFontDatabase::hasFamily("WenQuanYi Zen Hei Mono")) {
    EXPECT_EQ(InstalledFace("黑体"), "WenQuanYi Zen Hei Mono");
  }
}

TEST(MapTextLayout, CellsFollowTheByteModelAndTheSpacingIsAShareOfEachCell) {
  // 72 dpi: one point is one device unit, so a 10-pt em is 10 units.
  const auto lines = LayOutMapText("116°30′", Symbol(0, 0), 10, QPointF(100, 50), 72);
  ASSERT_EQ(lines.size(), 1u);
  const std::vector<double> lefts{100, 105, 110, 115, 125, 130, 135};
  ASSERT_EQ(lines[0].cellLefts.size(), lefts.size());
  for (size_t i = 0; i < lefts.size(); ++i) EXPECT_DOUBLE_EQ(lines[0].cellLefts[i], lefts[i]) << i;
  EXPECT_DOUBLE_EQ(lines[0].width, 45);

  // -30 narrows every cell by 30 % of its own width; none is taken after the last.
  const auto tight = LayOutMapText("4379", Symbol(2, 0, -30), 10, QPointF(100, 50), 72);
  EXPECT_DOUBLE_EQ(tight[0].width, 3 * 3.5 + 5);
  EXPECT_DOUBLE_EQ(tight[0].left, 100 - tight[0].width);
  EXPECT_DOUBLE_EQ(tight[0].cellLefts[1] - tight[0].cellLefts[0], 3.5);
}

TEST(MapTextLayout, TextsStandOnTheEmBoxNotOnTheFacesLineHeight) {
  const QPointF anchor(0, 100);
  EXPECT_EQ(MapTextBox("80", Symbol(0, 0), 10, anchor, 72), QRectF(0, 100, 10, 10));   // top
  EXPECT_EQ(MapTextBox("80", Symbol(1, 1), 10, anchor, 72), QRectF(-5, 95, 10, 10));   // centre
  EXPECT_EQ(MapTextBox("80", Symbol(2, 3), 10, anchor, 72), QRectF(-10, 90, 10, 10));  // bottom
  const auto lines = LayOutMapText("图\r\n名称", Symbol(1, 3), 10, anchor, 72);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_DOUBLE_EQ(lines[0].baseline, 80 + kEmBaseline * 10);
  EXPECT_DOUBLE_EQ(lines[1].baseline, 90 + kEmBaseline * 10);
  EXPECT_DOUBLE_EQ(lines[1].left, -10);
  EXPECT_TRUE(MapTextBox("", Symbol(0, 0), 10, anchor, 72).isEmpty());
}

TEST(MapTextDrawing, InkStaysInsideTheModelBoxEvenWhereAGlyphIsWider) {
  // 黑体's stand-in has narrow signs and the fallback faces wide Latin letters: every
  // glyph still keeps to its cell.
  for (const std::string face : {"宋体", "黑体", "楷体"}) {
    QImage image(600, 200, QImage::Format_RGB32);
    image.setDotsPerMeterX(300 / 0.0254);
    image.setDotsPerMeterY(300 / 0.0254);
    image.fill(Qt::white);
    const TextSymbol symbol = Symbol(0, 0, 0, face);
    const QPointF anchor(20, 40);
    {
      QPainter painter(&image);
      DrawMapText(painter, "WM°′″43", symbol, 12, anchor);
    }
    const QRectF box = MapTextBox("WM°′″43", symbol, 12, anchor, 300);
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 128) (box.adjusted(-1, -2, 1, 2).contains(x + 0.5, y + 0.5) ? inside : outside)++;
    EXPECT_GT(inside, 100) << face;
    EXPECT_EQ(outside, 0) << face;
  }
}

TEST(MapTextDrawing, TightSpacingNeverRunsOneDigitIntoTheNext) {
  // Corner labels are set at -30 %: the digits' ink must still stand apart.
  for (const std::string face : {"宋体", "黑体", "楷体"}) {
    QImage image(400, 120, QImage::Format_RGB32);
    image.setDotsPerMeterX(300 / 0.0254);
    image.setDotsPerMeterY(300 / 0.0254);
    image.fill(Qt::white);
    const TextSymbol symbol = Symbol(0, 0, -30, face);
    const QPointF anchor(20, 20);
    {
      QPainter painter(&image);
      DrawMapText(painter, "3333", symbol, 6, anchor);
    }
    const std::string text = "3333";
    const QRectF box = MapTextBox(text, symbol, 6, anchor, 300);
    // A clear column of pixels between each pair of neighbours.
    int gaps = 0;
    bool inkBefore = false, clearSince = false;
    for (int x = static_cast<int>(box.left()); x <= static_cast<int>(box.right()) + 1; ++x) {
      bool ink = false;
      for (int y = static_cast<int>(box.top()); y <= static_cast<int>(box.bottom()); ++y)
        if (qGray(image.pixel(x, y)) < 160) ink = true;
      if (ink && inkBefore && clearSince) ++gaps;
      if (ink) inkBefore = true, clearSince = false;
      else if (inkBefore) clearSince = true;
    }
    EXPECT_EQ(gaps, 3) << face;
  }
}

}  // namespace
}  // namespace framora
