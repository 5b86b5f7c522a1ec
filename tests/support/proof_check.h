#pragma once

// A cartographer's proof of a written sheet, on the page's own metric model: every text's em
// box as the renderer lays it out, every line with its printed width. Faults are told in
// millimetres on paper from the lower-left inner corner.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "frame/standard/standard_map.h"
#include "gis/feature_dataset.h"
#include "gis/output_path.h"
#include "gis/workspace.h"
#include "layout/map_text.h"

namespace framora::testing {

// The frame a sheet was drawn around, in the sheet's map units.
struct ProofFrame {
  std::array<SheetPoint, 4> inner{};  // lower-left, upper-left, upper-right, lower-right
  double gap = 0;                     // inner to outer frame, ground metres
  // Ground metres per map unit, as the page lays a geographic sheet out (1 in the plane).
  double metresPerUnitX = 1;
  double metresPerUnitY = 1;
};

struct ProofBox {
  std::string text;
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

struct ProofSegment {
  int id = 0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class SheetProof {
 public:
  SheetProof(const std::string& outputPath, const std::string& sheet, const ProofFrame& frame) : frame_(frame) {
    {
      std::unique_ptr<Workspace> workspace = OpenWorkspace(OutputPath(outputPath));
      referenceScale_ = StoredReferenceScale(*workspace, "a_" + sheet);
    }
    mm_ = referenceScale_ / 1000;
    origin_ = frame.inner[kLowerLeft];
    for (int i = 0; i < 4; ++i) inner_[i] = toMetres(frame.inner[i]);
    const double outwardX[4] = {-1, -1, 1, 1}, outwardY[4] = {-1, 1, 1, -1};
    for (int i = 0; i < 4; ++i)
      outer_[i] = SheetPoint{inner_[i].x + outwardX[i] * frame.gap, inner_[i].y + outwardY[i] * frame.gap};

    GDALDatasetUniquePtr dataset(GDALDataset::Open(outputPath.c_str(), GDAL_OF_VECTOR));
    if (!dataset) return;
    if (OGRLayer* texts = dataset->GetLayerByName(("a_" + sheet).c_str())) {
      // One device unit a ground metre: the em is size · dpi / 72 units.
      const double dpi = 25.4 * referenceScale_ / 1000;
      for (auto& feature : *texts) {
        const MapText text = ReadMapText(*feature);
        const SheetPoint at = toMetres({text.x, text.y});
        const QRectF box = MapTextBox(text.text, text.symbol, text.symbol.size, QPointF(at.x, -at.y), dpi);
        if (box.isEmpty()) continue;
        boxes_.push_back(ProofBox{text.text, box.left(), -box.bottom(), box.right(), -box.top()});
      }
    }
    if (OGRLayer* lines = dataset->GetLayerByName(("L_" + sheet).c_str())) {
      for (auto& feature : *lines) {
        const OGRGeometry* geometry = feature->GetGeometryRef();
        if (geometry == nullptr) continue;
        const int id = feature->GetFieldAsInteger("ID");
        const auto addCurve = [&](const OGRLineString& line) {
          for (int i = 0; i + 1 < line.getNumPoints(); ++i) {
            const SheetPoint a = toMetres({line.getX(i), line.getY(i)});
            const SheetPoint b = toMetres({line.getX(i + 1), line.getY(i + 1)});
            segments_.push_back(ProofSegment{id, a.x, a.y, b.x, b.y});
          }
        };
        if (wkbFlatten(geometry->getGeometryType()) == wkbLineString) addCurve(*geometry->toLineString());
        if (wkbFlatten(geometry->getGeometryType()) == wkbMultiLineString)
          for (const OGRLineString* part : *geometry->toMultiLineString()) addCurve(*part);
      }
    }
  }

  const std::vector<ProofBox>& boxes() const { return boxes_; }
  const std::vector<ProofSegment>& segments() const { return segments_; }
  double referenceScale() const { return referenceScale_; }

  // (a) Texts whose em boxes overlap by more than a twentieth of a millimetre.
  std::vector<std::string> overlappingTexts() const {
    std::vector<std::string> faults;
    const double tolerance = 0.05 * mm_;
    for (size_t i = 0; i < boxes_.size(); ++i)
      for (size_t j = i + 1; j < boxes_.size(); ++j) {
        const ProofBox& a = boxes_[i];
        const ProofBox& b = boxes_[j];
        if (a.xmin < b.xmax - tolerance && b.xmin < a.xmax - tolerance && a.ymin < b.ymax - tolerance &&
            b.ymin < a.ymax - tolerance)
          faults.push_back("\"" + a.text + "\" " + where(a) + " overlaps \"" + b.text + "\" " + where(b));
      }
    return faults;
  }

  // (b) Lines, at their printed width, through a text's em box.
  std::vector<std::string> struckTexts() const {
    std::vector<std::string> faults;
    for (const ProofBox& box : boxes_)
      for (const ProofSegment& segment : segments_) {
        // The outer frame prints 1 mm wide, every other line 0.1 mm; a line along a box's
        // edge (a corner line between the two parts of a corner label) touches no glyph.
        const double grow = segment.id == 2 ? (0.5 - 0.02) * mm_ : (0.05 - 0.1) * mm_;
        if (!SegmentMeetsBox(segment, box.xmin - grow, box.ymin - grow, box.xmax + grow, box.ymax + grow)) continue;
        faults.push_back("\"" + box.text + "\" " + where(box) + " struck by line " + std::to_string(segment.id) +
                         " " + where(segment));
        break;
      }
    return faults;
  }

  // (c) Grid lines and crosses beside the map: in a side band anything but a line across
  // the band toward its label, in the top and bottom bands likewise.
  std::vector<std::string> linesBesideTheMap() const {
    std::vector<std::string> faults;
    const double tolerance = 0.05 * mm_;
    for (const ProofSegment& s : segments_) {
      if (s.id != 0 && s.id != 1) continue;
      const double dx = s.x2 - s.x1, dy = s.y2 - s.y1;
      const double length = std::hypot(dx, dy);
      if (!(length > 0)) continue;
      const bool across = std::fabs(dy) <= 0.1 * std::fabs(dx);  // runs across a side band
      const bool down = std::fabs(dx) <= 0.1 * std::fabs(dy);    // across the top or bottom band
      const int samples = static_cast<int>(std::min(4000.0, std::ceil(length / (0.1 * mm_)))) + 1;
      for (int k = 0; k <= samples; ++k) {
        const SheetPoint p{s.x1 + dx * k / samples, s.y1 + dy * k / samples};
        if ((!across && inSideBand(p, tolerance)) || (!down && inEndBand(p, tolerance))) {
          faults.push_back("line " + std::to_string(s.id) + " " + where(s) + " runs beside the map at " +
                           where(p));
          break;
        }
      }
    }
    return faults;
  }

  // Lines of the kinds given that reach beyond the outer frame, where only a sheet's
  // adjoining-sheet table and scale bar belong.
  std::vector<std::string> linesBeyondTheFrame(const std::vector<int>& kinds) const {
    std::vector<std::string> faults;
    const double tolerance = 0.05 * mm_;
    for (const ProofSegment& s : segments_) {
      if (std::find(kinds.begin(), kinds.end(), s.id) == kinds.end()) continue;
      for (const SheetPoint p : {SheetPoint{s.x1, s.y1}, SheetPoint{s.x2, s.y2}}) {
        const bool inside = p.x > XAt(outer_[kLowerLeft], outer_[kUpperLeft], p.y) - tolerance &&
                            p.x < XAt(outer_[kLowerRight], outer_[kUpperRight], p.y) + tolerance &&
                            p.y > YAt(outer_[kLowerLeft], outer_[kLowerRight], p.x) - tolerance &&
                            p.y < YAt(outer_[kUpperLeft], outer_[kUpperRight], p.x) + tolerance;
        if (inside) continue;
        faults.push_back("line " + std::to_string(s.id) + " " + where(s) + " reaches beyond the outer frame");
        break;
      }
    }
    return faults;
  }

  std::vector<std::string> faults() const {
    std::vector<std::string> all = overlappingTexts();
    for (auto list : {struckTexts(), linesBesideTheMap()}) all.insert(all.end(), list.begin(), list.end());
    return all;
  }

  static bool SegmentMeetsBox(const ProofSegment& s, double xmin, double ymin, double xmax, double ymax) {
    if (!(xmin < xmax) || !(ymin < ymax)) return false;
    double t0 = 0, t1 = 1;
    const double from[2] = {s.x1, s.y1}, d[2] = {s.x2 - s.x1, s.y2 - s.y1};
    const double low[2] = {xmin, ymin}, high[2] = {xmax, ymax};
    for (int axis = 0; axis < 2; ++axis) {
      if (d[axis] == 0) {
        if (from[axis] <= low[axis] || from[axis] >= high[axis]) return false;
        continue;
      }
      double a = (low[axis] - from[axis]) / d[axis], b = (high[axis] - from[axis]) / d[axis];
      if (a > b) std::swap(a, b);
      t0 = std::max(t0, a);
      t1 = std::min(t1, b);
      if (t0 >= t1) return false;
    }
    return true;
  }

 private:
  SheetPoint toMetres(SheetPoint p) const {
    return SheetPoint{(p.x - origin_.x) * frame_.metresPerUnitX, (p.y - origin_.y) * frame_.metresPerUnitY};
  }
  static double XAt(SheetPoint a, SheetPoint b, double y) { return a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y); }
  static double YAt(SheetPoint a, SheetPoint b, double x) { return a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x); }

  bool inSideBand(SheetPoint p, double tolerance) const {
    const auto between = [&](double v, double a, double b) {
      return v > std::min(a, b) + tolerance && v < std::max(a, b) - tolerance;
    };
    if (between(p.y, inner_[kLowerLeft].y, inner_[kUpperLeft].y) &&
        between(p.x, XAt(outer_[kLowerLeft], outer_[kUpperLeft], p.y), XAt(inner_[kLowerLeft], inner_[kUpperLeft], p.y)))
      return true;
    return between(p.y, inner_[kLowerRight].y, inner_[kUpperRight].y) &&
           between(p.x, XAt(inner_[kLowerRight], inner_[kUpperRight], p.y),
                   XAt(outer_[kLowerRight], outer_[kUpperRight], p.y));
  }
  bool inEndBand(SheetPoint p, double tolerance) const {
    const auto between = [&](double v, double a, double b) {
      return v > std::min(a, b) + tolerance && v < std::max(a, b) - tolerance;
    };
    if (between(p.x, inner_[kLowerLeft].x, inner_[kLowerRight].x) &&
        between(p.y, YAt(outer_[kLowerLeft], outer_[kLowerRight], p.x), YAt(inner_[kLowerLeft], inner_[kLowerRight], p.x)))
      return true;
    return between(p.x, inner_[kUpperLeft].x, inner_[kUpperRight].x) &&
           between(p.y, YAt(inner_[kUpperLeft], inner_[kUpperRight], p.x),
                   YAt(outer_[kUpperLeft], outer_[kUpperRight], p.x));
  }

  std::string where(SheetPoint p) const {
    char text[64];
    std::snprintf(text, sizeof text, "(%.1f, %.1f mm)", p.x / mm_, p.y / mm_);
    return text;
  }
  std::string where(const ProofBox& b) const {
    char text[96];
    std::snprintf(text, sizeof text, "[%.1f..%.1f, %.1f..%.1f mm]", b.xmin / mm_, b.xmax / mm_, b.ymin / mm_,
                  b.ymax / mm_);
    return text;
  }
  std::string where(const ProofSegment& s) const { return where(SheetPoint{s.x1, s.y1}) + "-" + where(SheetPoint{s.x2, s.y2}); }

  ProofFrame frame_;
  double referenceScale_ = 0;
  double mm_ = 1;  // ground metres in a millimetre of paper
  SheetPoint origin_;
  std::array<SheetPoint, 4> inner_{}, outer_{};
  std::vector<ProofBox> boxes_;
  std::vector<ProofSegment> segments_;
};

}  // namespace framora::testing
