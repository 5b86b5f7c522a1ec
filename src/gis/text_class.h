#pragma once

#include <ogrsf_frmts.h>

#include <string>

#include "gis/feature_dataset.h"
#include "util/logical_font.h"

namespace framora {

// What one stored text looks like. Alignments use the stored codes:
// horizontal 0 left, 1 centre, 2 right; vertical 0 top, 1 centre, 3 bottom.
struct TextSymbol {
  std::string fontName;
  double size = 0;  // points at the class's reference scale
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int color = -1;  // 0xRRGGBB; -1 leaves the default (black)
  int horizontalAlignment = 0;
  int verticalAlignment = 0;
  double characterSpacing = 0;
};

// Alignment codes 1, 2, 3 of the frame builders to the stored codes.
int HorizontalAnchorOf(int hAlign);  // 1 -> 0, 2 -> 1, other -> 2
int VerticalAnchorOf(int vAlign);    // 1 -> 0, 2 -> 1, other -> 3

// A symbol from the font; size > 0 replaces the font's point size.
TextSymbol MakeTextSymbol(const LogicalFont& font, double spacing, double size, int anchorH, int anchorV);

// Creates the text class that stands in for an annotation class: a point class with
// one feature per text. Throws FramoraError "不能创立注记层:" + name on failure.
OGRLayer* CreateAnnotationClass(Workspace& workspace, const std::string& name, FeatureDataset* dataset,
                                const OGRSpatialReference* spatialReference, double referenceScale);
// Whether the class carries texts (the text class fields).
bool IsTextClass(OGRLayer& layer);

// Writes one text at (x, y). A text that is empty after trimming writes nothing (false).
bool AddTextElement(OGRLayer& textClass, const std::string& text, double x, double y, const TextSymbol& symbol);

}  // namespace framora
