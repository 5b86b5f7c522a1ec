#include "gis/output_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gis/workspace.h"
#include "support/temp_folder.h"
#include "util/framora_error.h"

namespace framora {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

TEST(OutputPath, TheKindFollowsTheExtensionWithoutRegardToCaseOrTrailingSeparators) {
  EXPECT_EQ(OutputPath("D:/maps/frames.GDB").kind(), WorkspaceKind::FileGeodatabase);
  EXPECT_EQ(OutputPath("X.GDB").kind(), WorkspaceKind::FileGeodatabase);
  EXPECT_EQ(OutputPath("frames.gpkg").kind(), WorkspaceKind::GeoPackage);
  EXPECT_EQ(OutputPath("a.gdb/frames.gpkg").kind(), WorkspaceKind::GeoPackage);
  EXPECT_EQ(OutputPath("photos.gdb_backup").kind(), WorkspaceKind::GeoPackage);
  const OutputPath completed("out/x.gdb//");
  EXPECT_EQ(completed.text(), "out/x.gdb");
  EXPECT_EQ(completed.kind(), WorkspaceKind::FileGeodatabase);
  EXPECT_EQ(OutputPath("/").text(), "/");
  EXPECT_THROW(OutputPath("x.gdb.mdb"), FramoraError);
  EXPECT_THROW(OutputPath("X.MDB/"), FramoraError);
}

TEST(OutputPath, OnlyWhatARunWritesCountsAsAnOutput) {
  TempFolder folder;
  CreateWorkspace(OutputPath(folder.file("real.gdb")));
  CreateWorkspace(OutputPath(folder.file("real.gpkg")));
  EXPECT_TRUE(OutputPath(folder.file("real.gdb")).holdsOutput());
  EXPECT_TRUE(OutputPath(folder.file("real.gdb/")).holdsOutput());
  EXPECT_TRUE(OutputPath(folder.file("real.gpkg")).holdsOutput());

  fs::create_directory(folder.file("empty.gdb"));
  std::ofstream(folder.file("text.gpkg")) << "SQLite format 3 but not really";
  fs::copy_file(folder.file("real.gdb/a00000001.gdbtable"), folder.file("catalog.gpkg"));
  for (const char* name : {"empty.gdb", "text.gpkg", "catalog.gpkg", "real.gdb/a00000001.gdbtable"}) {
    const OutputPath path(folder.file(name));
    EXPECT_TRUE(path.occupied()) << name;
    EXPECT_FALSE(path.holdsOutput()) << name;
  }
  const OutputPath absent(folder.file("absent.gdb"));
  EXPECT_FALSE(absent.occupied());
  EXPECT_FALSE(absent.holdsOutput());
}

TEST(OutputPath, DeletionRefusesAnythingButAnOutputAndKeepsItsContents) {
  TempFolder folder;
  const std::string backup = folder.file("photos.gdb_backup");
  fs::create_directory(backup);
  std::ofstream(backup + "/holiday.jpg") << "x";
  const std::string bare = folder.file("bare.gdb");
  fs::create_directory(bare);
  std::ofstream(bare + "/notes.txt") << "x";
  for (const std::string& path : {backup, bare, bare + "/"}) {
    try {
      OutputPath(path).deleteOutput();
      ADD_FAILURE() << path;
    } catch (const FramoraError& error) {
      EXPECT_EQ(std::string(error.what()), OutputPath(path).text() + "不是图廓输出数据库，不能删除");
    }
  }
  EXPECT_TRUE(fs::exists(backup + "/holiday.jpg"));
  EXPECT_TRUE(fs::exists(bare + "/notes.txt"));

  for (const char* name : {"frames.GDB", "frames.gpkg"}) {
    const OutputPath output(folder.file(name));
    CreateWorkspace(output);
    output.deleteOutput();
    EXPECT_FALSE(output.occupied()) << name;
    EXPECT_NO_THROW(output.deleteOutput()) << "nothing there is nothing to delete";
  }
}

}  // namespace
}  // namespace framora
