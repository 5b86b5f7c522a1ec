#include <gtest/gtest.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "layout/jpeg_writer.h"

namespace framora {
namespace {

// Colour, edges and text in every row of blocks, and a height that ends inside one.
QImage Page(int width, int height) {
  QImage page(width, height, QImage::Format_RGB32);
  QPainter painter(&page);
  QLinearGradient gradient(0, 0, width, height);
  gradient.setColorAt(0, QColor(20, 120, 200));
  gradient.setColorAt(1, QColor(240, 200, 40));
  painter.fillRect(page.rect(), gradient);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(Qt::black, 1.3));
  for (int y = 3; y < height; y += 11) painter.drawLine(QPointF(0, y), QPointF(width, y + 7.5));
  painter.drawText(QRectF(5, 5, width - 10, height - 10), Qt::TextWordWrap, "1:10000 比例尺 J50G001001 " + QString(40, 'x'));
  return page;
}

QImage Band(const QImage& page, int top, int rows) { return page.copy(0, top, page.width(), rows); }

std::vector<GByte> Joined(const QImage& page, int bandRows, const std::filesystem::path& file) {
  std::FILE* out = std::fopen(file.c_str(), "wb");
  EXPECT_NE(out, nullptr);
  JpegBandJoiner joiner(out, page.height());
  bool joined = true;
  for (int top = 0; top < page.height(); top += bandRows) {
    const int rows = std::min(bandRows, page.height() - top);
    joined = joiner.add(EncodeJpegBand(Band(page, top, rows), rows, 90, 300), rows) && joined;
  }
  joined = joiner.finish() && joined;
  std::fclose(out);
  EXPECT_TRUE(joined);
  std::ifstream in(file, std::ios::binary);
  return std::vector<GByte>(std::istreambuf_iterator<char>(in), {});
}

QImage Decoded(const std::vector<GByte>& coded) {
  QImage image;
  image.loadFromData(coded.data(), static_cast<int>(coded.size()), "JPG");
  return image.convertToFormat(QImage::Format_RGB32);
}

TEST(JpegBandsTest, BandsCodedApartDecodeAsThePageCodedWhole) {
  const auto file = std::filesystem::temp_directory_path() / "framora_jpeg_bands_test.jpg";
  const QImage page = Page(301, 16 * 21 + 9);  // twenty-one whole rows of blocks and part of one
  const QImage whole = Decoded(EncodeJpegBand(page, page.height(), 90, 300));
  ASSERT_FALSE(whole.isNull());
  // One row of blocks a band, several (restart numbers going round past 7), and one band.
  for (const int bandRows : {16, 48, 80, page.height()}) {
    const QImage joined = Decoded(Joined(page, bandRows, file));
    ASSERT_EQ(joined.size(), page.size()) << bandRows;
    EXPECT_EQ(joined, whole) << "bands of " << bandRows << " rows";
  }
  std::filesystem::remove(file);
}

TEST(JpegBandsTest, BandsThatCannotJoinAreRefused) {
  const QImage page = Page(64, 64);
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    // A band ending inside a row of blocks can only be the last.
    JpegBandJoiner joiner(out, 64);
    EXPECT_TRUE(joiner.add(EncodeJpegBand(Band(page, 0, 24), 24, 90, 300), 24));
    EXPECT_FALSE(joiner.add(EncodeJpegBand(Band(page, 24, 40), 40, 90, 300), 40));
  }
  {
    JpegBandJoiner joiner(out, 64);
    EXPECT_FALSE(joiner.add(std::vector<GByte>{0xFF, 0xD8, 0xFF, 0xD9}, 16));  // no scan
    EXPECT_FALSE(joiner.add({}, 16));
    EXPECT_FALSE(joiner.finish());  // nothing joined
  }
  std::fclose(out);
  // Only drawn rows in the page's own pixel format are coded.
  EXPECT_TRUE(EncodeJpegBand(page.convertToFormat(QImage::Format_ARGB32), 16, 90, 300).empty());
  EXPECT_TRUE(EncodeJpegBand(page, 65, 90, 300).empty());
}

}  // namespace
}  // namespace framora
