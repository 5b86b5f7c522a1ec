#include <gtest/gtest.h>

#include <map>

#include "frame/standard/sheet_index_support.h"

namespace framora {
namespace {

using namespace standard_testing;

double XAt(SheetPoint a, SheetPoint b, double y) { return a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y); }
double YAt(SheetPoint a, SheetPoint b, double x) { return a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x); }

struct Frame {
  std::array<SheetPoint, 4> in, out;
};

Frame FrameOf(const std::array<SheetPoint, 4>& in) {
  const double sx[4] = {-80, -80, 80, 80}, sy[4] = {-80, 80, 80, -80};
  Frame frame{in, in};
  for (int i = 0; i < 4; ++i) frame.out[i] = {in[i].x + sx[i], in[i].y + sy[i]};
  return frame;
}

bool IsKmLabel(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
}

std::string Digits(double metres) {
  const std::string whole = std::to_string(static_cast<long long>(std::floor(metres / 1000)));
  return whole.substr(whole.size() - 2);
}

// Multiples of the interval above low, up to high.
std::vector<double> Multiples(double low, double high, double interval) {
  std::vector<double> values;
  for (double v = (std::floor(low / interval) + 1) * interval; v <= high; v += interval) values.push_back(v);
  return values;
}

// The box a stored text takes on the ground at 1:10000, its width at about half an em
// per digit.
struct Box {
  double xmin, xmax, ymin, ymax;
};
Box BoxOf(const StoredText& t) {
  const double h = t.size * 25.4 / 72 * 10, w = t.text.size() * h / 2.1;
  const double x = t.hAlign == 0 ? t.x : t.hAlign == 1 ? t.x - w / 2 : t.x - w;
  const double y = t.vAlign == 0 ? t.y - h : t.vAlign == 1 ? t.y - h / 2 : t.y;
  return {x, x + w, y, y + h};
}

// Every km label stands in the band between the frames, clear of both neat lines and of
// the corner squares.
void ExpectLabelsBesideTheFrame(const std::vector<StoredText>& texts, const Frame& f) {
  const auto& in = f.in;
  const auto& out = f.out;
  for (const auto& text : texts) {
    if (!IsKmLabel(text.text)) continue;
    const Box b = BoxOf(text);
    const double cx = (b.xmin + b.xmax) / 2, cy = (b.ymin + b.ymax) / 2;
    const std::string where = text.text + " at " + std::to_string(text.x) + ", " + std::to_string(text.y);
    if (cy > YAt(in[1], in[2], cx)) {
      EXPECT_GT(b.ymin, YAt(in[1], in[2], cx)) << where;
      EXPECT_LT(b.ymax, YAt(out[1], out[2], cx)) << where;
      EXPECT_TRUE(b.xmin > in[1].x && b.xmax < in[2].x) << where;
    } else if (cy < YAt(in[0], in[3], cx)) {
      EXPECT_LT(b.ymax, YAt(in[0], in[3], cx)) << where;
      EXPECT_GT(b.ymin, YAt(out[0], out[3], cx)) << where;
      EXPECT_TRUE(b.xmin > in[0].x && b.xmax < in[3].x) << where;
    } else if (cx < XAt(in[0], in[1], cy)) {
      EXPECT_LT(b.xmax, XAt(in[0], in[1], cy)) << where;
      EXPECT_GT(b.xmin, XAt(out[0], out[1], cy)) << where;
      EXPECT_TRUE(b.ymin > in[0].y && b.ymax < in[1].y) << where;
    } else if (cx > XAt(in[3], in[2], cy)) {
      EXPECT_GT(b.xmin, XAt(in[3], in[2], cy)) << where;
      EXPECT_LT(b.xmax, XAt(out[3], out[2], cy)) << where;
      EXPECT_TRUE(b.ymin > in[3].y && b.ymax < in[2].y) << where;
    } else {
      ADD_FAILURE() << "inside the map: " << where;
    }
  }
}

std::multiset<std::string> KmLabels(const std::vector<StoredText>& texts) {
  std::multiset<std::string> labels;
  for (const auto& text : texts)
    if (IsKmLabel(text.text)) labels.insert(text.text);
  return labels;
}

// Full lines of the grid, vertical ones keyed by easting, horizontal ones by northing;
// longer than the corner lines and the table's, which never lie on multiples anyway.
struct GridLines {
  std::map<double, StoredLine> vertical, horizontal;
};
GridLines FullGridLines(const std::vector<StoredLine>& lines, double interval) {
  GridLines grid;
  for (const auto& l : lines) {
    if (l.id != 1) continue;
    if (l.x1 == l.x2 && std::fmod(l.x1, interval) == 0 && std::fabs(l.y2 - l.y1) > 100) grid.vertical[l.x1] = l;
    if (l.y1 == l.y2 && std::fmod(l.y1, interval) == 0 && std::fabs(l.x2 - l.x1) > 100) grid.horizontal[l.y1] = l;
  }
  return grid;
}

class KmGridPlaces : public StandardRun, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(KmGridPlaces, LinesAtTheMultiplesLabelledAtBothEndsBesideTheFrame) {
  const auto [place, interval] = GetParam();
  settings.GridLabelPlace = place;
  settings.GridInterval = interval;
  writeIndex(true, NineSheets(true));
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const Frame f = FrameOf(SheetCorners(SeriesSheet{kCentreRow, kCentreColumn}, true));
  const auto& in = f.in;

  const auto xs = Multiples(std::min(in[0].x, in[1].x), std::max(in[2].x, in[3].x), interval);
  const auto ys = Multiples(std::min(in[0].y, in[3].y), std::max(in[1].y, in[2].y), interval);
  const GridLines grid = FullGridLines(lines(kCentre), interval);
  ASSERT_EQ(grid.vertical.size(), xs.size());
  ASSERT_EQ(grid.horizontal.size(), ys.size());
  // Lines run on to the outer frame; near a corner (within the corner labels' reach) they
  // stop at the inner frame.
  const auto endsAt = [](double end, double outer, double inner, bool nearCorner) {
    return std::fabs(end - outer) < 1e-6 || (nearCorner && std::fabs(end - inner) < 1e-6);
  };
  const auto near = [](double v, double a, double b, double reach) {
    return std::fabs(v - a) < reach || std::fabs(v - b) < reach;
  };
  for (double x : xs) {
    ASSERT_TRUE(grid.vertical.count(x)) << x;
    const StoredLine& l = grid.vertical.at(x);
    EXPECT_TRUE(endsAt(std::min(l.y1, l.y2), YAt(f.out[0], f.out[3], x), YAt(in[0], in[3], x),
                       near(x, in[0].x, in[3].x, 100))) << x;
    EXPECT_TRUE(endsAt(std::max(l.y1, l.y2), YAt(f.out[1], f.out[2], x), YAt(in[1], in[2], x),
                       near(x, in[1].x, in[2].x, 100))) << x;
  }
  for (double y : ys) {
    ASSERT_TRUE(grid.horizontal.count(y)) << y;
    const StoredLine& l = grid.horizontal.at(y);
    EXPECT_TRUE(endsAt(std::min(l.x1, l.x2), XAt(f.out[0], f.out[1], y), XAt(in[0], in[1], y),
                       near(y, in[0].y, in[1].y, 30))) << y;
    // Below the higher lower corner the line leaves through the bottom edge.
    const bool cut = y > in[0].y && y < in[3].y;
    if (cut)
      EXPECT_NEAR(std::max(l.x1, l.x2), XAt(in[0], in[3], y), 1e-6) << y;
    else
      EXPECT_TRUE(endsAt(std::max(l.x1, l.x2), XAt(f.out[3], f.out[2], y), XAt(in[3], in[2], y),
                         near(y, in[3].y, in[2].y, 30))) << y;
  }

  std::multiset<std::string> expected;
  const auto kmText = [](double m) {
    char text[16];
    std::snprintf(text, sizeof text, "%s.%02d", Digits(m).c_str(), static_cast<int>(std::fmod(m, 1000)) / 10);
    return std::string(text);
  };
  for (size_t k = 0; k < xs.size(); ++k) {
    // Both ends of every line.
    for (int end = 0; end < 2; ++end) {
      expected.insert(interval < 1000 ? kmText(xs[k]) : Digits(xs[k]));
      if (interval >= 1000 && (k == 0 || k + 1 == xs.size())) expected.insert("395");
    }
  }
  for (int side = 0; side < 2; ++side) {
    std::vector<double> labelled;
    const double low = side == 0 ? in[0].y : in[3].y, high = side == 0 ? in[1].y : in[2].y;
    for (double y : ys)
      if (y > low && y < high) labelled.push_back(y);
    for (size_t j = 0; j < labelled.size(); ++j) {
      expected.insert(interval < 1000 ? kmText(labelled[j]) : Digits(labelled[j]));
      if (interval >= 1000 && (j == 0 || j + 1 == labelled.size()))
        expected.insert(std::to_string(static_cast<long long>(labelled[j] / 100000)));
    }
  }
  const auto stored = texts(kCentre);
  EXPECT_EQ(KmLabels(stored), expected);
  ExpectLabelsBesideTheFrame(stored, f);
}

INSTANTIATE_TEST_SUITE_P(PlacesAndIntervals, KmGridPlaces,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(1000, 500)));

TEST_F(StandardRun, CrossesGetTicksAtTheFrameAndCrossesAtTheNodes) {
  settings.GridType = 2;
  writeIndex(true, NineSheets(true));
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const auto in = SheetCorners(SeriesSheet{kCentreRow, kCentreColumn}, true);
  const auto xs = Multiples(std::min(in[0].x, in[1].x), std::max(in[2].x, in[3].x), 1000);
  const auto ys = Multiples(std::min(in[0].y, in[3].y), std::max(in[1].y, in[2].y), 1000);
  int ticks = 0, arms = 0;
  for (const auto& l : lines(kCentre)) {
    const double length = std::hypot(l.x2 - l.x1, l.y2 - l.y1);
    if (l.id == 1 && std::fabs(length - 80) < 1e-6 && (std::fmod(l.x1, 1000) == 0 || std::fmod(l.y1, 1000) == 0))
      ++ticks;
    if (l.id == 1 && std::fabs(length - 50) < 1e-6) ++arms;
  }
  EXPECT_EQ(ticks, 2 * static_cast<int>(xs.size() + ys.size()));
  EXPECT_EQ(arms, 2 * static_cast<int>(xs.size() * ys.size()));
  EXPECT_TRUE(FullGridLines(lines(kCentre), 1000).vertical.empty());
}

TEST_F(StandardRun, AGeographicSheetGetsItsGridOnThePlane) {
  settings = StandardSettings(true);
  writeIndex(false, NineSheets(false));
  const SeriesSheet sheet{kCentreRow, kCentreColumn};
  ASSERT_EQ(run(kCentreOnly).made, 1);
  const auto plane = PlaneProjection::Iag1975(true);
  const auto ll = plane.forward(sheet.west(), sheet.south()), ul = plane.forward(sheet.west(), sheet.north());
  const auto ur = plane.forward(sheet.east(), sheet.north()), lr = plane.forward(sheet.east(), sheet.south());
  std::set<long long> eastings;
  for (const auto& l : lines(sheet.number())) {
    const SheetPoint a = plane.forward(l.x1, l.y1), b = plane.forward(l.x2, l.y2);
    const double km = std::round(a.x / 1000) * 1000;
    if (l.id == 1 && std::fabs(a.x - km) < 0.01 && std::fabs(b.x - km) < 0.01 && std::fabs(b.y - a.y) > 4000)
      eastings.insert(static_cast<long long>(km));
  }
  std::set<long long> expected;
  for (double x : Multiples(std::min(ll.x, ul.x), std::max(ur.x, lr.x), 1000)) expected.insert(static_cast<long long>(x));
  EXPECT_EQ(eastings, expected);
  EXPECT_EQ(KmLabels(texts(sheet.number())).count("395"), 4u);
}

TEST_F(StandardRun, WithoutZoneNumbersTheLabelsTakeTheZoneAsPrefix) {
  // The centre sheet on the plane of zone 39 without its number.
  const auto in = SheetCorners(SeriesSheet{kCentreRow, kCentreColumn}, true);
  IndexSheet sheet{kCentre, "", {}};
  for (int i = 0; i <= 4; ++i) sheet.ring.push_back({in[i % 4].x - 39000000, in[i % 4].y});
  WriteSheetIndex(indexPath, 4548, {sheet});
  settings.CoordsWithZone = false;
  ASSERT_EQ(run().made, 1);
  EXPECT_EQ(TstandardMap(settings, "", ui).zonePrefix(), "39");
  EXPECT_EQ(KmLabels(texts(kCentre)).count("395"), 4u);
}

TEST_F(StandardRun, AGridIntervalOfZeroOrLessIsRefusedOnceAndNoGridIsDrawn) {
  writeIndex(true, NineSheets(true));
  for (const int interval : {0, -1000}) {
    settings.GridInterval = interval;
    settings.GridType = interval == 0 ? 1 : 2;
    ui.messages.clear();
    outputPath = folder.file("frames" + std::to_string(interval) + ".gpkg");
    EXPECT_EQ(run().made, 9);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"公里网间隔必须大于0，未画公里网"});
    // Inner frame, corner lines and the table are all that is drawn with ID 1.
    const auto stored = lines(kCentre);
    EXPECT_EQ(std::count_if(stored.begin(), stored.end(), [](const auto& l) { return l.id == 1; }), 4 + 8 + 8);
  }
}

TEST_F(StandardRun, TrapezoidLinesLeaveThroughTheInnerEdgeAndEdgeLabelsKeepOffTheCorners) {
  // TRAP: its bottom edge rises 10 m across the sheet, past the grid line 4201000; its west
  // edge lies on a multiple, its east edge too. EDGE: its first vertical line is 2 m in.
  const std::array<SheetPoint, 4> trap = {
      SheetPoint{39501000, 4200995}, {39501000, 4205000}, {39506000, 4205000}, {39506000, 4201005}};
  const std::array<SheetPoint, 4> edge = {
      SheetPoint{39500998, 4200500}, {39500998, 4205500}, {39505998, 4205500}, {39505998, 4200500}};
  const auto ring = [](const std::array<SheetPoint, 4>& c) { return std::vector<SheetPoint>{c[0], c[1], c[2], c[3], c[0]}; };
  writeIndex(true, {{"TRAP", "", ring(trap)}, {"EDGE", "", ring(edge)}});
  settings.GridType = 2;
  ASSERT_EQ(run().made, 2);

  int ticksAt4201000 = 0;
  std::set<double> verticalTicks;
  const auto atCorner = [&](double x, double y) {
    return std::any_of(trap.begin(), trap.end(), [&](const SheetPoint& c) { return c.x == x && c.y == y; });
  };
  for (const auto& l : lines("TRAP")) {
    if (l.id != 1 || std::hypot(l.x2 - l.x1, l.y2 - l.y1) != 80) continue;
    if (atCorner(l.x1, l.y1) || atCorner(l.x2, l.y2)) continue;  // corner lines
    if (l.y1 == 4201000 && l.y2 == 4201000) ++ticksAt4201000;
    if (l.x1 == l.x2 && std::fmod(l.x1, 1000) == 0) verticalTicks.insert(l.x1);
  }
  // None where the line leaves through the bottom edge, nor 5 m above the lower-left
  // corner, where the tick would run through the corner's latitude; none on the east edge.
  EXPECT_EQ(ticksAt4201000, 0);
  EXPECT_EQ(verticalTicks, (std::set<double>{39502000, 39503000, 39504000, 39505000}));
  const auto trapTexts = texts("TRAP");
  ExpectLabelsBesideTheFrame(trapTexts, FrameOf(trap));
  EXPECT_EQ(KmLabels(trapTexts).count("01"), 1u);  // on the left side only

  settings.GridType = 1;
  outputPath = folder.file("full.gpkg");
  ASSERT_EQ(run("TFH = 'TRAP'").made, 1);
  const auto grid = FullGridLines(lines("TRAP"), 1000);
  ASSERT_TRUE(grid.horizontal.count(4201000));
  const StoredLine& cut = grid.horizontal.at(4201000);
  EXPECT_NEAR(std::min(cut.x1, cut.x2), 39501000, 1e-6);  // stops short of the corner labels
  EXPECT_NEAR(std::max(cut.x1, cut.x2), 39503500, 1e-6);

  const auto edgeTexts = texts("EDGE");
  ExpectLabelsBesideTheFrame(edgeTexts, FrameOf(edge));
  for (const auto& text : edgeTexts) {
    const Box b = BoxOf(text);
    if (IsKmLabel(text.text) && text.y > edge[1].y) {
      EXPECT_GT(b.xmin - edge[1].x, 50) << text.text;
    }
  }
}

TEST_F(StandardRun, VerticalLinesBesideANarrowerTopLeaveThroughTheSideEdge) {
  // SIDE: its west edge leans 10 m east going north, past the grid line 39501000.
  const std::array<SheetPoint, 4> side = {
      SheetPoint{39500995, 4201000}, {39501005, 4206000}, {39506000, 4206000}, {39506000, 4201000}};
  writeIndex(true, {{"SIDE", "", {side[0], side[1], side[2], side[3], side[0]}}});
  settings.GridType = 1;
  ASSERT_EQ(run().made, 1);
  const auto grid = FullGridLines(lines("SIDE"), 1000);
  ASSERT_TRUE(grid.vertical.count(39501000));
  const StoredLine& cut = grid.vertical.at(39501000);
  // 5 m from the lower-left corner: it stops at the inner frame, short of the corner labels.
  EXPECT_NEAR(std::min(cut.y1, cut.y2), 4201000, 1e-6);
  EXPECT_NEAR(std::max(cut.y1, cut.y2), 4203500, 1e-6);  // on the west edge, not in the band
  for (const auto& [x, line] : grid.vertical) {
    // The line on the east edge stops at the corners too.
    if (x != 39501000) {
      EXPECT_NEAR(std::max(line.y1, line.y2), x == 39506000 ? 4206000 : 4206000 + 80, 1e-6) << x;
    }
  }

  const auto stored = texts("SIDE");
  ExpectLabelsBesideTheFrame(stored, FrameOf(side));
  const auto labels = KmLabels(stored);
  EXPECT_EQ(labels.count("01"), 1u);  // at the bottom only
  // The top's first labelled line is the next one; it carries the hundreds.
  EXPECT_EQ(labels.count("395"), 4u);

  // Crosses only whole inside the inner frame: none on the leaning edge or the top and east edges.
  settings.GridType = 2;
  outputPath = folder.file("crosses.gpkg");
  ASSERT_EQ(run().made, 1);
  std::set<std::pair<double, double>> nodes;
  for (const auto& l : lines("SIDE"))
    if (l.id == 1 && std::fabs(std::hypot(l.x2 - l.x1, l.y2 - l.y1) - 50) < 1e-6)
      nodes.insert({(l.x1 + l.x2) / 2, (l.y1 + l.y2) / 2});
  std::set<std::pair<double, double>> inside;
  for (double x = 39502000; x <= 39505000; x += 1000)
    for (double y = 4202000; y <= 4205000; y += 1000) inside.insert({x, y});
  EXPECT_EQ(nodes, inside);
}

}  // namespace
}  // namespace framora
