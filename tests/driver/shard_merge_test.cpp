// A job cut into parts with --shard and joined with merge equals the job run whole.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "driver/cli_runner.h"
#include "frame/frame_builder.h"
#include "gis/gdal_setup.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"

namespace framora {
namespace {

using testing::RunCli;
using testing::TempFolder;

// Every class's features as a user's GIS reads them, the object identifiers aside.
std::map<std::string, std::vector<std::string>> Contents(const std::string& path) {
  std::map<std::string, std::vector<std::string>> contents;
  EnsureGdalRegistered();
  GDALDatasetUniquePtr data(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  if (!data) return contents;
  for (OGRLayer* layer : data->GetLayers()) {
    std::vector<std::string>& rows = contents[layer->GetName()];
    for (auto& feature : *layer) {
      std::string row;
      if (const OGRGeometry* shape = feature->GetGeometryRef()) row = shape->exportToWkt();
      for (int i = 0; i < feature->GetFieldCount(); ++i) {
        row += '|';
        row += feature->GetFieldAsString(i);
      }
      rows.push_back(row);
    }
  }
  return contents;
}

TEST(SheetShards, PartsCoverTheSelectionOnceInOrder) {
  for (size_t count : {0u, 1u, 7u, 9u, 64u}) {
    size_t next = 0;
    for (int part = 1; part <= 4; ++part) {
      const auto [first, last] = ShardRange(count, SheetShard{part, 4});
      EXPECT_EQ(first, next) << count << " part " << part;
      EXPECT_LE(last - first, count / 4 + 1);
      next = last;
    }
    EXPECT_EQ(next, count);
  }
  EXPECT_EQ(ShardRange(9, SheetShard{}), (std::pair<size_t, size_t>{0, 9}));
  EXPECT_EQ(ShardOfText(" 2/8 ").index, 2);
  for (const char* wrong : {"0/3", "4/3", "2", "a/b", "1/0", "-1/3", "1/3/4"})
    EXPECT_THROW(ShardOfText(wrong), FramoraError) << wrong;
}

TEST(SheetShards, ThreePartsMergedEqualOneRunSheetForSheet) {
  TempFolder folder;
  const std::string common = std::string("generate --mode standard --doc '") + FRAMORA_SAMPLE_DIR +
                             "/sample.qgs' --layer 图幅 --name '[TFH]' --set GridType=1 --set TitleField=TM";
  const auto whole = RunCli(common + " --out '" + folder.file("whole.gdb") + "'");
  ASSERT_EQ(whole.status, 0) << whole.output;
  // The parts in both kinds of output; the merge into a third.
  const std::vector<std::string> parts = {folder.file("part1.gpkg"), folder.file("part2.gdb"),
                                          folder.file("part3.gpkg")};
  std::string inputs;
  for (size_t k = 0; k < parts.size(); ++k) {
    const auto part = RunCli(common + " --shard " + std::to_string(k + 1) + "/3 --out '" + parts[k] + "'");
    ASSERT_EQ(part.status, 0) << part.output;
    EXPECT_NE(part.output.find("生成3幅"), std::string::npos) << part.output;
    inputs += " '" + parts[k] + "'";
  }
  const auto merged = RunCli("merge --out '" + folder.file("merged.gdb") + "'" + inputs);
  ASSERT_EQ(merged.status, 0) << merged.output;
  const auto expected = Contents(folder.file("whole.gdb"));
  EXPECT_EQ(expected.size(), 27u);
  EXPECT_EQ(Contents(folder.file("merged.gdb")), expected);

  // Parts that overlap do not belong together: refused, and no half merge is left.
  const auto twice = RunCli("merge --out '" + folder.file("twice.gpkg") + "' '" + parts[0] + "' '" + parts[0] + "'");
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.output.find("不能合并"), std::string::npos) << twice.output;
  EXPECT_FALSE(std::filesystem::exists(folder.file("twice.gpkg")));
  // An existing output is kept without --overwrite.
  EXPECT_EQ(RunCli("merge --out '" + folder.file("merged.gdb") + "'" + inputs).status, 1);
}

}  // namespace
}  // namespace framora
