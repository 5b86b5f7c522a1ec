#pragma once

#include <memory>
#include <string>
#include <vector>

#include "layout/layer_style.h"
#include "layout/page_layout.h"
#include "layout/rendered_page_dataset.h"

namespace framora {

struct PixelSize {
  int width = 0;
  int height = 0;
};

// The picture's size at dpi: the page in millimetres (centimetres times ten) times dpi / 25.4,
// each cut toward zero.
PixelSize ExportPixelSize(const Page& page, int dpi);

// The extension of a file name with its leading point, upper-cased; empty when none.
std::string FileExtension(const std::string& fileName);

// Where a picture of the page at dpi stands on the map, from the user's data frame.
Georeference PageGeoreference(const PageLayout& layout, int dpi);

// Writes a page as a picture of one file type.
class PictureExporter {
 public:
  virtual ~PictureExporter() = default;
  // The GDAL driver that writes the file, or "PDF".
  virtual std::string formatName() const = 0;
  // Whether the format can hold a picture of that size.
  virtual bool canHold(PixelSize size) const = 0;
  // Draws and writes the picture. False when finishing fails (a picture too large for
  // the format or the disk); nothing is left behind then. stop is asked between bands of
  // rows; when it says yes nothing is left either, and RunStopped is thrown.
  virtual bool exportPage(PageRenderer& renderer, const std::string& fileName, PixelSize size,
                          const Georeference& where, const Page& page, const StopCheck& stop = {}) = 0;
};

// The exporter for an extension (any letter case): ".BMP", ".JPG", ".PNG", ".PDF", ".TIF",
// ".GIF". Any other, ".EMF" included, raises "%s错误的文件类型" with the upper-cased extension.
std::unique_ptr<PictureExporter> ExporterForExtension(const std::string& extension);

// Memory a raster export may spend on drawn rows: one band, or up to four of a quarter of the
// size when the bands below are drawn on other threads while this one is encoded.
inline constexpr size_t kExportBandBudgetBytes = 32u << 20;

// Exports the page to fileName at dpi, the exporter chosen by the file's extension (an
// unknown one raises before anything is drawn). Throws FramoraError "文件太大，无法导出" for a
// picture the format cannot hold, and one naming the file and the reason when it cannot be
// written (nothing is left behind then). Returns what the user should hear of a picture that
// was made: the layers it had to leave out. stop is asked between the bands of the picture;
// when it says yes the picture is abandoned (an earlier one stays) and RunStopped is thrown.
std::vector<std::string> ExportActiveView(const PageLayout& layout, const LayerStyles& styles,
                                          const std::string& fileName, int dpi, const StopCheck& stop = {});

}  // namespace framora
