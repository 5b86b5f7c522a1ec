#include "gis/workspace.h"

#include <gtest/gtest.h>

#include <fstream>

#include "gis/gdal_setup.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::TempFolder;

TEST(WorkspaceKind, ChosenByTheSuffixWithoutRegardToCase) {
  EXPECT_EQ(WorkspaceKindOfPath("D:/maps/frames.GDB"), WorkspaceKind::FileGeodatabase);
  EXPECT_EQ(WorkspaceKindOfPath("frames.gdb"), WorkspaceKind::FileGeodatabase);
  EXPECT_EQ(WorkspaceKindOfPath("frames.gpkg"), WorkspaceKind::GeoPackage);
  EXPECT_EQ(WorkspaceKindOfPath("a.gdb/frames.gpkg"), WorkspaceKind::GeoPackage);
  EXPECT_THROW(WorkspaceKindOfPath("x.gdb.mdb"), FramoraError);
  EXPECT_THROW(WorkspaceKindOfPath("X.MDB"), FramoraError);
}

TEST(WorkspaceExists, GdbPathsAreFoldersOtherPathsFiles) {
  TempFolder folder;
  EXPECT_FALSE(WorkspaceExists(folder.file("frames.GDB")));
  std::filesystem::create_directory(folder.file("frames.GDB"));
  EXPECT_TRUE(WorkspaceExists(folder.file("frames.GDB")));
  std::ofstream(folder.file("plain.gdb")) << "x";
  EXPECT_FALSE(WorkspaceExists(folder.file("plain.gdb")));
  std::ofstream(folder.file("one.gpkg")) << "x";
  EXPECT_TRUE(WorkspaceExists(folder.file("one.gpkg")));
}

TEST(CreateWorkspace, MakesBothKindsThatGdalOpens) {
  TempFolder folder;
  for (const std::string name : {"frames.gdb", "frames.gpkg"}) {
    const std::string path = folder.file(name);
    { auto workspace = CreateWorkspace(path); ASSERT_TRUE(workspace); }
    GDALDatasetUniquePtr reopened(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(reopened) << name;
    EXPECT_STREQ(reopened->GetDriver()->GetDescription(), name == "frames.gdb" ? "OpenFileGDB" : "GPKG");
  }
}

TEST(CreateWorkspace, RefusesMdbAndWritesNothing) {
  TempFolder folder;
  try {
    CreateWorkspace(folder.file("old.mdb"));
    FAIL() << "an .mdb path must be refused";
  } catch (const FramoraError& error) {
    EXPECT_NE(std::string(error.what()).find(".mdb"), std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(CreateWorkspace, BadPlacesGiveClearErrors) {
  TempFolder folder;
  std::ofstream(folder.file("taken.gdb")) << "a plain file";
  EXPECT_THROW(CreateWorkspace(folder.file("taken.gdb")), FramoraError);
  EXPECT_THROW(CreateWorkspace(folder.file("missing/frames.gdb")), FramoraError);
  EXPECT_THROW(CreateWorkspace(folder.file("missing/frames.gpkg")), FramoraError);
}

// The error's text, or "" when there was none.
template <typename Call>
std::string ErrorOf(Call call) {
  try {
    call();
  } catch (const FramoraError& error) {
    return error.what();
  }
  return "";
}

TEST(OpenWorkspace, MissingOrBrokenIsRefusedNamingThePath) {
  TempFolder folder;
  const std::string missing = folder.file("none.gpkg");
  EXPECT_EQ(ErrorOf([&] { OpenWorkspace(missing); }), missing + "文件不存在");

  const std::string broken = folder.file("broken.gpkg");
  std::ofstream(broken) << "not a database";
  EXPECT_EQ(ErrorOf([&] { OpenWorkspace(broken); }).rfind("打开" + broken + "失败", 0), 0u);

  const std::string plainGdb = folder.file("plain.gdb");
  std::ofstream(plainGdb) << "not a folder";
  EXPECT_EQ(ErrorOf([&] { OpenWorkspace(plainGdb); }).rfind("打开" + plainGdb + "失败", 0), 0u);
}

TEST(OpenWorkspace, ReopensWhatWasCreated) {
  TempFolder folder;
  for (const std::string name : {"a.gdb", "a.gpkg"}) {
    CreateWorkspace(folder.file(name));
    EXPECT_TRUE(OpenWorkspace(folder.file(name))) << name;
  }
}

}  // namespace
}  // namespace framora
