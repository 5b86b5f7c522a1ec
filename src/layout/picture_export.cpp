#include "layout/picture_export.h"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal_alg.h>
#include <gdal_priv.h>

#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "gis/gdal_setup.h"
#include "layout/gui_application.h"
#include "layout/jpeg_writer.h"
#include "layout/picture_resolution.h"
#include "util/files.h"
#include "util/framora_error.h"
#include "util/text.h"

namespace framora {

namespace {

// Beyond this many pixels a side the painter's fixed-point coordinates and the PNG
// encoder give up; no paper comes near it (a million pixels are 85 m at 300 dpi).
constexpr long long kMaxRasterSide = 1000000;
constexpr const char* kTooLarge = "文件太大，无法导出";

void RemoveExport(const std::string& fileName, const char* worldFileExtension) {
  VSIUnlink(fileName.c_str());
  VSIUnlink((fileName + ".aux.xml").c_str());
  if (worldFileExtension != nullptr) VSIUnlink(CPLResetExtension(fileName.c_str(), worldFileExtension));
}

// The world files the raster exporters write beside a picture.
constexpr const char* kWorldFileExtensions[] = {"bpw", "jgw", "pgw", "gfw"};

void RemoveSideFilesAndPicture(const std::string& fileName) {
  RemoveExport(fileName, nullptr);
  for (const char* extension : kWorldFileExtensions) VSIUnlink(CPLResetExtension(fileName.c_str(), extension));
}

// A side file written beside the temporary picture, moved beside the final one; true when
// there was none.
bool PlaceSideFile(const std::string& temporary, const std::string& target) {
  VSIStatBufL status;
  if (VSIStatL(temporary.c_str(), &status) != 0) return true;
  return ReplaceFileDurably(temporary, target);
}

constexpr int kJpegQuality = 90;
// Rows in one strip of a TIFF file; chunks of the page are written in whole strips.
constexpr int kStripRows = 16;

// Coordinate system and geotransform of a written picture, in GDAL's side file (.aux.xml).
bool AttachGeoreference(const std::string& fileName, const Georeference& where) {
  if (!where.valid) return true;
  GDALDatasetUniquePtr picture(GDALDataset::Open(fileName.c_str(), GDAL_OF_RASTER));
  if (!picture) return false;
  bool attached = picture->SetGeoTransform(const_cast<double*>(where.transform)) == CE_None;
  OGRSpatialReference srs;
  if (!where.srsWkt.empty() && srs.importFromWkt(where.srsWkt.c_str()) == OGRERR_NONE) {
    // The geotransform is easting first whatever order the code's authority gives.
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    attached = picture->SetSpatialRef(&srs) == CE_None && attached;
  }
  return attached;
}

// GDAL's names for a picture's resolution; the TIFF driver turns them into tags.
void SetResolutionMetadata(GDALDataset& picture, int dpi) {
  const std::string value = std::to_string(dpi);
  picture.SetMetadataItem("TIFFTAG_XRESOLUTION", value.c_str());
  picture.SetMetadataItem("TIFFTAG_YRESOLUTION", value.c_str());
  picture.SetMetadataItem("TIFFTAG_RESOLUTIONUNIT", "2");  // inches
}

// Up to 256 colours chosen for the page by median cut, with error diffusion between them,
// in a memory raster with the page's georeference. The page is drawn twice.
GDALDatasetUniquePtr MedianCutPaletted(RenderedPageDataset& page) {
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
  if (memory == nullptr) return nullptr;
  GDALRasterBand* red = page.GetRasterBand(1);
  GDALRasterBand* green = page.GetRasterBand(2);
  GDALRasterBand* blue = page.GetRasterBand(3);
  GDALColorTable table;
  if (GDALComputeMedianCutPCT(red, green, blue, nullptr, 256, &table, nullptr, nullptr) != CE_None) return nullptr;
  GDALDatasetUniquePtr indexed(
      memory->Create("", page.GetRasterXSize(), page.GetRasterYSize(), 1, GDT_Byte, nullptr));
  if (!indexed) return nullptr;
  GDALRasterBand* target = indexed->GetRasterBand(1);
  if (GDALDitherRGB2PCT(red, green, blue, target, &table, nullptr, nullptr) != CE_None) return nullptr;
  target->SetColorTable(&table);
  target->SetColorInterpretation(GCI_PaletteIndex);
  double transform[6];
  if (page.GetGeoTransform(transform) == CE_None) indexed->SetGeoTransform(transform);
  if (const OGRSpatialReference* srs = page.GetSpatialRef()) indexed->SetSpatialRef(srs);
  return indexed;
}

class RasterExporter final : public PictureExporter {
 public:
  RasterExporter(const char* driver, const char* worldFileExtension, long long maxSide, bool paletted,
                 std::vector<const char*> options)
      : driver_(driver), worldFileExtension_(worldFileExtension), maxSide_(maxSide), paletted_(paletted) {
    for (const char* option : options) options_.AddString(option);
  }

  std::string formatName() const override { return driver_; }

  bool canHold(PixelSize size) const override {
    if (size.width < 1 || size.height < 1 || size.width > maxSide_ || size.height > maxSide_) return false;
    // The Windows bitmap keeps its file size in 32 bits; rows are padded to 4 bytes.
    if (driver_ == "BMP") {
      const double rowBytes = std::ceil(size.width * (paletted_ ? 1.0 : 3.0) / 4) * 4;
      if (rowBytes * size.height + 1078 > 4294967295.0) return false;
    }
    return true;
  }

  bool exportPage(PageRenderer& renderer, const std::string& fileName, PixelSize size, const Georeference& where,
                  const Page&, const StopCheck& stop) override {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driver_.c_str());
    if (driver == nullptr) return false;
    const int dpi = static_cast<int>(std::lround(renderer.dpi()));
    bool written = false;
    bool stopped = false;
    {
      // Both cores: the bands below are drawn while this one is encoded; up to four in memory.
      // JPEG bands are coded where they are drawn, in whole rows of blocks.
      RenderedPageDataset source(renderer, size.width, size.height, where, kExportBandBudgetBytes / 4, true,
                                 driver_ == "JPEG" ? kJpegBlockRowHeight : 1);
      source.setStopCheck(stop);
      CPLErrorReset();
      if (driver_ == "JPEG") {
        // libjpeg takes the rows as they are drawn, four times faster than GDAL's copy.
        written = WriteJpegPage(source, fileName, kJpegQuality, dpi) &&
                  AttachGeoreference(fileName, where);
      } else if (driver->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr) {
        written = WriteInChunks(*driver, source, fileName, where, dpi);
      } else {
        // PNG and GIF encoders pull the rows one by one from the drawn page.
        GDALDatasetUniquePtr indexed = paletted_ ? MedianCutPaletted(source) : nullptr;
        GDALDataset* rows = paletted_ ? indexed.get() : &source;
        GDALDatasetUniquePtr output(
            rows == nullptr ? nullptr
                            : driver->CreateCopy(fileName.c_str(), rows, FALSE, options_.List(), nullptr, nullptr));
        written = output != nullptr && CPLGetLastErrorType() < CE_Failure;
        output.reset();  // closing writes the rest; its failure counts too
        written = written && CPLGetLastErrorType() < CE_Failure;
      }
      stopped = source.stopped();
    }
    if (stopped) {
      RemoveExport(fileName, worldFileExtension_);
      throw RunStopped();
    }
    written = written && StampPictureResolution(fileName, driver_, dpi);
    if (written && where.valid && worldFileExtension_ != nullptr)
      written = GDALWriteWorldFile(fileName.c_str(), worldFileExtension_, const_cast<double*>(where.transform)) != 0;
    if (!written) RemoveExport(fileName, worldFileExtension_);
    return written;
  }

 private:
  // Writes the drawn rows chunk by chunk, each flushed to the file before the next, so that
  // GDAL's block cache never gathers the whole page. Chunks are whole strips of the file.
  bool WriteInChunks(GDALDriver& driver, RenderedPageDataset& source, const std::string& fileName,
                     const Georeference& where, int dpi) const {
    const int width = source.GetRasterXSize(), height = source.GetRasterYSize();
    const int bands = source.GetRasterCount();
    GDALDatasetUniquePtr output(driver.Create(fileName.c_str(), width, height, bands, GDT_Byte, options_.List()));
    if (!output) return false;
    int chunkRows = std::max(kStripRows, source.rowsPerBand() / kStripRows * kStripRows);
    chunkRows = std::min(chunkRows, height);
    std::vector<GByte> chunk(static_cast<size_t>(width) * chunkRows * bands);
    const GSpacing pixelSpace = bands, lineSpace = static_cast<GSpacing>(width) * bands;
    for (int top = 0; top < height; top += chunkRows) {
      const int rows = std::min(chunkRows, height - top);
      if (source.readWindow(0, top, width, rows, bands, nullptr, chunk.data(), GDT_Byte, pixelSpace, lineSpace, 1) !=
              CE_None ||
          output->RasterIO(GF_Write, 0, top, width, rows, chunk.data(), width, rows, GDT_Byte, bands, nullptr,
                           pixelSpace, lineSpace, 1, nullptr) != CE_None)
        return false;
      output->FlushCache(false);
      if (CPLGetLastErrorType() >= CE_Failure) return false;
    }
    if (where.valid) output->SetGeoTransform(const_cast<double*>(where.transform));
    if (const OGRSpatialReference* srs = source.GetSpatialRef()) output->SetSpatialRef(srs);
    if (driver_ == "GTiff") SetResolutionMetadata(*output, dpi);
    output.reset();  // closing writes the rest; its failure counts too
    return CPLGetLastErrorType() < CE_Failure;
  }

  std::string driver_;
  const char* worldFileExtension_;
  long long maxSide_;
  bool paletted_;
  CPLStringList options_;
};

class PdfExporter final : public PictureExporter {
 public:
  std::string formatName() const override { return "PDF"; }
  bool canHold(PixelSize size) const override { return size.width >= 1 && size.height >= 1; }

  bool exportPage(PageRenderer& renderer, const std::string& fileName, PixelSize size, const Georeference&,
                  const Page& page, const StopCheck&) override {
    bool written = false;
    {
      QPdfWriter writer(QString::fromStdString(fileName));
      writer.setResolution(static_cast<int>(std::lround(renderer.dpi())));
      writer.setCreator(QStringLiteral("Framora"));
      writer.setPageSize(QPageSize(QSizeF(page.widthMm(), page.heightMm()), QPageSize::Millimeter, QString(),
                                   QPageSize::ExactMatch));
      writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
      QPainter painter;
      if (painter.begin(&writer)) {
        // Vector output: no band is rasterised, and fonts travel inside the file.
        renderer.drawRows(painter, 0, size.height, size.width, false);
        written = painter.end();
      }
    }
    if (!written) VSIUnlink(fileName.c_str());
    return written;
  }
};

}  // namespace

PixelSize ExportPixelSize(const Page& page, int dpi) {
  // A hair above the exact quotient, so that a whole number of pixels is not lost to
  // rounding in the division (25.4 mm at 100 dpi is 100 pixels, not 99).
  const auto pixels = [dpi](double millimetres) {
    const double exact = dpi * millimetres / 25.4;
    return static_cast<int>(std::trunc(exact * (1 + 1e-12)));
  };
  if (dpi <= 0) return {};
  return PixelSize{pixels(page.widthMm()), pixels(page.heightMm())};
}

std::string FileExtension(const std::string& fileName) {
  const std::string name = std::filesystem::path(fileName).filename().string();
  const auto dot = name.rfind('.');
  // A leading point alone names a hidden file, not a type.
  if (dot == std::string::npos || dot == 0) return {};
  return ToUpperAscii(name.substr(dot));
}

Georeference PageGeoreference(const PageLayout& layout, int dpi) {
  Georeference where;
  where.srsWkt = layout.spatialReferenceWkt;
  const MapFrame* frame = FindUserDataFrame(layout);
  if (frame == nullptr || !frame->hasExtent()) {
    frame = nullptr;
    for (const auto& candidate : layout.frames)
      if (candidate.hasExtent()) {
        frame = &candidate;
        break;
      }
  }
  if (frame == nullptr || dpi <= 0 || frame->pageEnvelope.width() <= 0 || frame->pageEnvelope.height() <= 0)
    return where;
  const double pixelsPerPageUnit = dpi / 25.4 * (layout.page.units == kUnitCentimetres ? 10 : 1);
  const Envelope& page = frame->pageEnvelope;
  const Envelope& extent = frame->extent;
  const double unitsPerPageX = extent.width() / page.width();
  const double unitsPerPageY = extent.height() / page.height();
  where.transform[0] = extent.xmin - page.xmin * unitsPerPageX;
  where.transform[1] = unitsPerPageX / pixelsPerPageUnit;
  where.transform[2] = 0;
  where.transform[3] = extent.ymax + (layout.page.height - page.ymax) * unitsPerPageY;
  where.transform[4] = 0;
  where.transform[5] = -unitsPerPageY / pixelsPerPageUnit;
  where.valid = true;
  return where;
}

std::unique_ptr<PictureExporter> ExporterForExtension(const std::string& extension) {
  const std::string upper = ToUpperAscii(extension);
  if (upper == ".BMP") return std::make_unique<RasterExporter>("BMP", "bpw", kMaxRasterSide, false, std::vector<const char*>{});
  if (upper == ".JPG") return std::make_unique<RasterExporter>("JPEG", "jgw", 65500, false, std::vector<const char*>{});
  if (upper == ".PNG") return std::make_unique<RasterExporter>("PNG", "pgw", kMaxRasterSide, false, std::vector<const char*>{});
  if (upper == ".PDF") return std::make_unique<PdfExporter>();
  if (upper == ".TIF")
    return std::make_unique<RasterExporter>("GTiff", nullptr, kMaxRasterSide, false,
                                            std::vector<const char*>{"COMPRESS=DEFLATE", "PREDICTOR=2", "BIGTIFF=IF_SAFER",
                                                                     "BLOCKYSIZE=16"});
  if (upper == ".GIF") return std::make_unique<RasterExporter>("GIF", "gfw", 65535, true, std::vector<const char*>{});
  // ".EMF" is a Windows metafile, which cannot be made here.
  throw FramoraError(upper + "错误的文件类型");
}

std::vector<std::string> ExportActiveView(const PageLayout& layout, const LayerStyles& styles,
                                          const std::string& fileName, int dpi, const StopCheck& stop) {
  const PixelSize size = ExportPixelSize(layout.page, dpi);
  std::unique_ptr<PictureExporter> exporter = ExporterForExtension(FileExtension(fileName));
  if (dpi <= 0) throw FramoraError("输出分辨率" + std::to_string(dpi) + "无效，应大于0");
  if (!exporter->canHold(size)) throw FramoraError(kTooLarge);
  EnsureGdalRegistered();
  RequireGuiApplication();
  // A folder that cannot be written to is not a size problem; say what it is. The probe
  // is a file of its own, so that an earlier picture stays until the new one replaces it.
  const std::string probePath = fileName + ".framora-probe";
  if (VSILFILE* probe = VSIFOpenL(probePath.c_str(), "wb")) {
    VSIFCloseL(probe);
    VSIUnlink(probePath.c_str());
  } else {
    throw FramoraError("不能创建文件" + fileName);
  }
  PageRenderer renderer(layout, styles, dpi);
  std::vector<std::string> notices;
  for (const std::string& name : renderer.missingLayers())
    notices.push_back("图层" + name + "的数据不能打开，图片中没有它");
  notices.insert(notices.end(), renderer.notices().begin(), renderer.notices().end());
  // Drawn under a temporary name beside it and renamed into place, side files first: a
  // picture present is always whole, and an earlier one stays until the new one is.
  const std::string temporary = TemporarySibling(fileName);
  RemoveSideFilesAndPicture(temporary);
  CPLErrorReset();
  errno = 0;
  bool exported = false;
  try {
    exported = exporter->exportPage(renderer, temporary, size, PageGeoreference(layout, dpi), layout.page, stop);
  } catch (const RunStopped&) {
    RemoveSideFilesAndPicture(temporary);
    throw;
  }
  if (!exported) {
    std::string reason = CPLGetLastErrorMsg();
    if (reason.empty() && errno != 0) reason = std::strerror(errno);
    RemoveSideFilesAndPicture(temporary);
    throw FramoraError("不能写入图片" + fileName + (reason.empty() ? "" : "：" + reason));
  }
  bool placed = true;
  for (const char* extension : kWorldFileExtensions)
    placed = PlaceSideFile(CPLResetExtension(temporary.c_str(), extension),
                           CPLResetExtension(fileName.c_str(), extension)) && placed;
  placed = PlaceSideFile(temporary + ".aux.xml", fileName + ".aux.xml") && placed;
  if (!placed || !ReplaceFileDurably(temporary, fileName)) {
    const std::string reason = std::strerror(errno);
    RemoveSideFilesAndPicture(temporary);
    throw FramoraError("不能写入图片" + fileName + "：" + reason);
  }
  return notices;
}

}  // namespace framora
