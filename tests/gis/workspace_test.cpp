#include "gis/workspace.h"

#include <gtest/gtest.h>

#include <fstream>

#include "gis/gdal_setup.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"

namespace framora {
namespace {

using testing::TempFolder;

TEST(CreateWorkspace, MakesBothKindsThatGdalOpens) {
  TempFolder folder;
  for (const std::string name : {"frames.gdb", "frames.gpkg"}) {
    const std::string path = folder.file(name);
    { auto workspace = CreateWorkspace(OutputPath(path)); ASSERT_TRUE(workspace); }
    GDALDatasetUniquePtr reopened(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(reopened) << name;
    EXPECT_STREQ(reopened->GetDriver()->GetDescription(), name == "frames.gdb" ? "OpenFileGDB" : "GPKG");
  }
}

TEST(CreateWorkspace, RefusesMdbAndWritesNothing) {
  TempFolder folder;
  try {
    CreateWorkspace(OutputPath(folder.file("old.mdb")));
    FAIL() << "an .mdb path must be refused";
  } catch (const FramoraError& error) {
    EXPECT_NE(std::string(error.what()).find(".mdb"), std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(CreateWorkspace, BadPlacesGiveClearErrors) {
  TempFolder folder;
  std::ofstream(folder.file("taken.gdb")) << "a plain file";
  EXPECT_THROW(CreateWorkspace(OutputPath(folder.file("taken.gdb"))), FramoraError);
  EXPECT_THROW(CreateWorkspace(OutputPath(folder.file("missing/frames.gdb"))), FramoraError);
  EXPECT_THROW(CreateWorkspace(OutputPath(folder.file("missing/frames.gpkg"))), FramoraError);
}

std::string OpenError(const std::string& path) {
  try {
    OpenWorkspace(OutputPath(path));
  } catch (const FramoraError& error) {
    return error.what();
  }
  return "";
}

TEST(OpenWorkspace, MissingOrForeignPathsAreRefusedByName) {
  TempFolder folder;
  const std::string missing = folder.file("none.gpkg");
  EXPECT_EQ(OpenError(missing), missing + "文件不存在");
  const std::string broken = folder.file("broken.gpkg");
  std::ofstream(broken) << "not a database";
  EXPECT_EQ(OpenError(broken), "打开" + broken + "失败：不是图廓输出数据库");
  const std::string plainGdb = folder.file("plain.gdb");
  std::ofstream(plainGdb) << "not a folder";
  EXPECT_EQ(OpenError(plainGdb), "打开" + plainGdb + "失败：不是图廓输出数据库");
}

TEST(OpenWorkspace, ReopensWhatWasCreatedAndCreatesWhatIsMissing) {
  TempFolder folder;
  for (const std::string name : {"a.gdb", "a.gpkg"}) {
    const OutputPath path(folder.file(name));
    { auto created = OpenOrCreateWorkspace(path); ASSERT_TRUE(created) << name; }
    EXPECT_TRUE(path.holdsOutput()) << name;
    auto reopened = OpenOrCreateWorkspace(path);
    ASSERT_TRUE(reopened) << name;
    EXPECT_EQ(reopened->kind(), path.kind());
  }
  // Shell completion's trailing separator names the same geodatabase.
  EXPECT_TRUE(OpenWorkspace(OutputPath(folder.file("a.gdb") + "/")));
}

}  // namespace
}  // namespace framora
