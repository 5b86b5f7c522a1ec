#include "util/files.h"

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace framora {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path) { std::ofstream(path) << "x"; }

TEST(DeleteFolderTree, MissingFolderCountsAsDeleted) {
  testing::TempFolder temp;
  EXPECT_EQ(DeleteFolderTree(temp.file("absent")), 0);
  EXPECT_EQ(DeleteFolderTree(temp.file("absent/deeper")), 0);
  EXPECT_EQ(DeleteFolderTree(""), 0);
}

TEST(DeleteFolderTree, RemovesNestedFoldersAndReadOnlyEntries) {
  testing::TempFolder temp;
  const fs::path root = temp.path() / "out.gdb";
  fs::create_directories(root / "a" / "b");
  WriteFile(root / "top.txt");
  WriteFile(root / "a" / "b" / "locked.txt");
  fs::permissions(root / "a" / "b" / "locked.txt", fs::perms::owner_read | fs::perms::group_read);
  // A folder without write or read permission must be opened up to be emptied.
  fs::permissions(root / "a" / "b", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(root / "a", fs::perms::owner_exec);

  EXPECT_EQ(DeleteFolderTree(root.string() + "/"), 0);
  EXPECT_FALSE(fs::exists(root));
  EXPECT_TRUE(fs::exists(temp.path()));
}

TEST(DeleteFolderTree, LinksInsideAreRemovedWithoutTouchingTheirTargets) {
  testing::TempFolder temp;
  const fs::path outside = temp.path() / "outside";
  fs::create_directories(outside / "keep");
  WriteFile(outside / "keep" / "precious.txt");
  WriteFile(temp.path() / "lonely.txt");

  const fs::path root = temp.path() / "tree";
  fs::create_directories(root / "sub");
  fs::create_directory_symlink(outside, root / "sub" / "to-folder");
  fs::create_symlink(temp.path() / "lonely.txt", root / "to-file");
  fs::create_symlink(temp.path() / "nowhere", root / "dangling");

  EXPECT_EQ(DeleteFolderTree(root.string()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
  EXPECT_TRUE(fs::exists(outside / "keep" / "precious.txt"));
  EXPECT_TRUE(fs::exists(temp.path() / "lonely.txt"));
}

TEST(DeleteFolderTree, ALinkGivenAsTheFolderLosesOnlyTheLink) {
  testing::TempFolder temp;
  const fs::path target = temp.path() / "target";
  fs::create_directories(target);
  WriteFile(target / "precious.txt");
  const fs::path link = temp.path() / "link";
  fs::create_directory_symlink(target, link);

  EXPECT_EQ(DeleteFolderTree(link.string() + "/"), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_TRUE(fs::exists(target / "precious.txt"));
}

TEST(DeleteFolderTree, APlainFileIsNotAFolderAndStays) {
  testing::TempFolder temp;
  WriteFile(temp.path() / "out.gpkg");
  EXPECT_EQ(DeleteFolderTree(temp.file("out.gpkg")), 0);
  EXPECT_TRUE(fs::exists(temp.path() / "out.gpkg"));
}

TEST(DeleteFolderTree, TheRootIsRefused) {
  EXPECT_EQ(DeleteFolderTree("/"), -1);
  EXPECT_EQ(DeleteFolderTree("//"), -1);
}

TEST(ProgramFolder, IsTheFolderOfThisExecutableWithATrailingSlash) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::equivalent(fs::read_symlink("/proc/self/exe").parent_path(), folder));
}

TEST(ReplaceFileDurably, TheNewFileTakesThePlaceOfTheOldInOneStep) {
  testing::TempFolder folder;
  EXPECT_EQ(TemporarySibling(folder.file("S.JPG")), folder.file("S.framora-tmp.JPG"));
  EXPECT_EQ(TemporarySibling(folder.file("S.qgs")), folder.file("S.framora-tmp.qgs"));
  std::ofstream(folder.file("S.qgs")) << "old";
  std::ofstream(folder.file("S.framora-tmp.qgs")) << "new";
  ASSERT_TRUE(ReplaceFileDurably(folder.file("S.framora-tmp.qgs"), folder.file("S.qgs")));
  std::ifstream placed(folder.file("S.qgs"));
  std::string text;
  placed >> text;
  EXPECT_EQ(text, "new");
  EXPECT_FALSE(fs::exists(folder.file("S.framora-tmp.qgs")));
  EXPECT_FALSE(ReplaceFileDurably(folder.file("missing"), folder.file("S.qgs")));
  EXPECT_TRUE(fs::exists(folder.file("S.qgs"))) << "a failed replacement keeps the old file";
}

TEST(FileLock, OneHolderAtATimeAndTheFileGoesWithTheLastOne) {
  testing::TempFolder folder;
  const std::string path = folder.file("out.gdb.framora-lock");
  {
    std::optional<FileLock> first = FileLock::TryLock(path);
    ASSERT_TRUE(first.has_value());
    errno = 0;
    EXPECT_FALSE(FileLock::TryLock(path).has_value());
    EXPECT_EQ(errno, EWOULDBLOCK);
  }
  EXPECT_FALSE(fs::exists(path));
  // A lock file its holder left behind (a killed run) holds no lock.
  std::ofstream(path) << "";
  EXPECT_TRUE(FileLock::TryLock(path).has_value());
  EXPECT_FALSE(FileLock::TryLock(folder.file("no-such-folder/x.framora-lock")).has_value());
}

}  // namespace
}  // namespace framora
