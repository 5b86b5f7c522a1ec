#pragma once

#include <string>

#include "layout/layer_style.h"
#include "layout/page_layout.h"

namespace framora {

// Saves the page as a QGIS project (.qgs, QGIS 3.22 format) at fileName, replacing any file
// there: every layer of the page with paths relative to the project's folder, the sheet's
// line and polygon classes with the styles, the text class as data-defined labels, the
// user's layers with their project's renderers and labels (faces named as the pictures
// draw them), and a print layout named after the file with the page size and one map item
// per map frame (no border) at the frame's extent. Throws FramoraError when the file cannot be written.
void SaveMapDocument(const PageLayout& layout, const LayerStyles& styles, const std::string& fileName);

}  // namespace framora
