#include "util/changed_file_sync.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace framora {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Records the paths it is asked to sync; fails for the names in failing.
struct SyncRecorder {
  std::vector<std::string> synced;
  std::vector<std::string> failing;
  ChangedFileSync::SyncFunction function() {
    return [this](const std::string& path) {
      synced.push_back(fs::path(path).filename().string());
      for (const auto& name : failing)
        if (fs::path(path).filename() == name) return false;
      return true;
    };
  }
  std::vector<std::string> take() { return std::exchange(synced, {}); }
};

// Past the file system clock's tick, so that the stamp written next is later than every
// change before it.
void PassTick() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

// The journal line vouching for the synced files: written, then taken as the clock's "now".
void Vouch(ChangedFileSync& files, const fs::path& folder) {
  PassTick();
  Write(folder / "journal", "sheet\n");
  files.settle("journal");
}

// Told by the system or found by comparing, the same files are synced.
class ChangedFileSyncWays : public ::testing::TestWithParam<ChangedFileSync::Watch> {};

INSTANTIATE_TEST_SUITE_P(BothWays, ChangedFileSyncWays,
                         ::testing::Values(ChangedFileSync::Watch::IfPossible, ChangedFileSync::Watch::Never));

TEST_P(ChangedFileSyncWays, SyncsOnlyTheFilesChangedSinceTheLastSync) {
  testing::TempFolder temp;
  const fs::path folder = temp.path() / "out.gdb";
  fs::create_directory(folder);
  Write(folder / "a.gdbtable", "aaaa");
  Write(folder / "b.gdbtable", "bbbb");
  Write(folder / "journal", "");
  SyncRecorder recorder;
  ChangedFileSync files(folder.string(), recorder.function(), GetParam());

  // Everything is new at first, the folder's entries too.
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("a.gdbtable", "b.gdbtable", "journal", "out.gdb"));
  Vouch(files, folder);

  // Nothing written: nothing synced, the journal the caller synced itself included.
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), IsEmpty());

  // Rewritten in place at the same size: only its times tell; the folder's entries stayed.
  Write(folder / "a.gdbtable", "AAAA");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("a.gdbtable"));
  Vouch(files, folder);

  // A new file brings the folder along; so does one that went.
  Write(folder / "c.gdbtable", "c");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("c.gdbtable", "out.gdb"));
  Vouch(files, folder);
  fs::remove(folder / "b.gdbtable");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("out.gdb"));

  // A file renamed over another is a new file under the old name.
  Vouch(files, folder);
  Write(folder / "c.tmp", "cccc");
  fs::rename(folder / "c.tmp", folder / "c.gdbtable");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("c.gdbtable", "out.gdb"));
}

TEST(ChangedFileSync, WhatTheClockCannotVouchForIsSyncedAgain) {
  testing::TempFolder temp;
  Write(temp.path() / "a", "a");
  SyncRecorder recorder;
  ChangedFileSync files(temp.path().string(), recorder.function(), ChangedFileSync::Watch::Never);
  ASSERT_TRUE(files.syncChanged());
  recorder.take();
  // No later write has told the file system's clock: a change within the same tick would
  // leave the times as they are, so the file is synced again.
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("a"));
}

TEST_P(ChangedFileSyncWays, AFileThatFailedIsSyncedAgainWithTheFolder) {
  testing::TempFolder temp;
  const fs::path folder = temp.path();
  Write(folder / "a", "a");
  Write(folder / "b", "b");
  SyncRecorder recorder;
  recorder.failing = {"a"};
  ChangedFileSync files(folder.string(), recorder.function(), GetParam());
  EXPECT_FALSE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("a"));

  recorder.failing.clear();
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("a", "b", folder.filename().string()));

  EXPECT_FALSE(ChangedFileSync((folder / "absent").string(), recorder.function(), GetParam()).syncChanged());
}

TEST(ChangedFileSync, ToldChangesNeedNoClock) {
  testing::TempFolder temp;
  const fs::path folder = temp.path() / "out.gdb";
  fs::create_directory(folder);
  for (int i = 1000; i < 1300; ++i) Write(folder / fs::path("a").concat(std::to_string(i)), "x");
  SyncRecorder recorder;
  ChangedFileSync files(folder.string(), recorder.function());
  if (!files.watching()) GTEST_SKIP() << "the system tells no changes here";
  ASSERT_TRUE(files.syncChanged());
  EXPECT_EQ(recorder.take().size(), 301u);
  // Within the clock's tick, and never vouched for by a later write: unchanged is unchanged,
  // and a rewrite at the same size is seen.
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), IsEmpty());
  Write(folder / "a1007", "y");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("a1007"));
  // Written and gone between two syncs: only the folder.
  Write(folder / "scratch", "s");
  fs::remove(folder / "scratch");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_THAT(recorder.take(), ElementsAre("out.gdb"));
  // The folder replaced: nothing more is told of the old one, so the new one is compared.
  fs::remove_all(folder);
  fs::create_directory(folder);
  Write(folder / "b", "b");
  ASSERT_TRUE(files.syncChanged());
  EXPECT_FALSE(files.watching());
  EXPECT_THAT(recorder.take(), ElementsAre("b", "out.gdb"));
}

}  // namespace
}  // namespace framora
