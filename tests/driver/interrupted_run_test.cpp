// A batch print killed outright and continued with --resume ends as a run never disturbed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "gis/gdal_setup.h"
#include "gis/workspace.h"

extern char** environ;

namespace framora {
namespace {

namespace fs = std::filesystem;

// A folder in memory where there is one: the run syncs every sheet to the disk.
class ScratchFolder {
 public:
  ScratchFolder() {
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "framora-resume-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// 50 squares of a kilometre, named S00 to S49, in a Gauss-Kruger zone.
void WriteSquares(const std::string& path) {
  EnsureGdalRegistered();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  GDALDatasetUniquePtr source(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  OGRSpatialReference srs;
  srs.importFromEPSG(4547);
  OGRLayer* layer = source->CreateLayer("sheets", &srs, wkbPolygon, nullptr);
  OGRFieldDefn field("NAME", OFTString);
  layer->CreateField(&field);
  for (int i = 0; i < 50; ++i) {
    const double x = 500000 + (i % 10) * 1000, y = 3400000 + (i / 10) * 1000;
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField("NAME", (std::string(i < 10 ? "S0" : "S") + std::to_string(i)).c_str());
    OGRLinearRing ring;
    ring.addPoint(x, y);
    ring.addPoint(x + 1000, y);
    ring.addPoint(x + 1000, y + 1000);
    ring.addPoint(x, y + 1000);
    ring.closeRings();
    OGRPolygon square;
    square.addRing(&ring);
    feature.SetGeometry(&square);
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
}

pid_t StartCli(const std::vector<std::string>& arguments) {
  std::vector<std::string> all{FRAMORA_CLI};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  posix_spawn(&child, all[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

int WaitFor(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

int LinesIn(const std::string& file) {
  std::ifstream stream(file);
  int lines = 0;
  for (std::string line; std::getline(stream, line);) ++lines;
  return lines;
}

// Kills the run with SIGKILL once the journal holds that many finished sheets: somewhere in
// the middle of the next one.
void KillAfter(const std::vector<std::string>& arguments, const std::string& journal, int sheets) {
  const pid_t child = StartCli(arguments);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (LinesIn(journal) < sheets && std::chrono::steady_clock::now() < deadline) {
    if (waitpid(child, nullptr, WNOHANG) == child) return;  // finished first
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  kill(child, SIGKILL);
  WaitFor(child);
}

// Every class with its number of features.
std::map<std::string, GIntBig> ClassesOf(const std::string& path) {
  std::map<std::string, GIntBig> classes;
  GDALDatasetUniquePtr output(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  if (!output) return classes;
  for (auto* layer : output->GetLayers()) classes[layer->GetName()] = layer->GetFeatureCount(TRUE);
  return classes;
}

// Every file of the picture folder with the picture's size, or -1 for a file that no
// raster driver reads whole.
std::map<std::string, long long> PicturesOf(const std::string& folder) {
  std::map<std::string, long long> pictures;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    long long size = 0;
    if (entry.path().extension() == ".PNG") {
      GDALDatasetUniquePtr picture(GDALDataset::Open(entry.path().c_str(), GDAL_OF_RASTER));
      size = -1;
      CPLErrorReset();
      if (picture && GDALChecksumImage(picture->GetRasterBand(1), 0, 0, picture->GetRasterXSize(),
                                       picture->GetRasterYSize()) >= 0 &&
          CPLGetLastErrorType() < CE_Failure)
        size = static_cast<long long>(picture->GetRasterXSize()) * picture->GetRasterYSize();
    }
    pictures[name] = size;
  }
  return pictures;
}

TEST(InterruptedRun, KilledSeveralTimesAndResumedItEqualsACleanRunSheetForSheet) {
  ScratchFolder folder;
  const std::string source = folder.file("squares.gpkg");
  WriteSquares(source);
  const auto arguments = [&](const std::string& run) {
    return std::vector<std::string>{"print", "--mode", "polygon", "--doc", source, "--layer", "sheets", "--name",
                                    "[NAME]", "--out", folder.file(run + "/out.gdb"), "--folder",
                                    folder.file(run + "/pictures"), "--picture", ".PNG", "--dpi", "20"};
  };
  ASSERT_EQ(WaitFor(StartCli(arguments("clean"))), 0);
  const auto cleanClasses = ClassesOf(folder.file("clean/out.gdb"));
  ASSERT_EQ(cleanClasses.size(), 150u);

  const std::string journal = folder.file("killed/out.gdb/") + kSheetJournalName;
  auto resume = arguments("killed");
  resume.push_back("--resume");
  KillAfter(arguments("killed"), journal, 3);
  for (const int sheets : {12, 25, 26, 40}) KillAfter(resume, journal, sheets);
  EXPECT_LT(LinesIn(journal), 50) << "the runs were killed before the end";
  ASSERT_EQ(WaitFor(StartCli(resume)), 0);

  EXPECT_EQ(ClassesOf(folder.file("killed/out.gdb")), cleanClasses);
  const auto pictures = PicturesOf(folder.file("killed/pictures"));
  EXPECT_EQ(pictures, PicturesOf(folder.file("clean/pictures")));
  for (const auto& [name, size] : pictures) {
    EXPECT_EQ(name.find("framora-tmp"), std::string::npos) << name;
    EXPECT_NE(size, -1) << name;
  }
  // Once complete, a further --resume finds everything made and makes nothing.
  EXPECT_EQ(WaitFor(StartCli(resume)), 0);
  EXPECT_EQ(ClassesOf(folder.file("killed/out.gdb")), cleanClasses);
}

TEST(InterruptedRun, ASecondJobOnTheSameOutputIsRefusedAndASignalStopsBetweenSheets) {
  ScratchFolder folder;
  const std::string source = folder.file("squares.gpkg");
  WriteSquares(source);
  const std::vector<std::string> arguments{"print", "--mode", "polygon", "--doc", source, "--layer", "sheets",
                                           "--name", "[NAME]", "--out", folder.file("out.gdb"), "--folder",
                                           folder.file("pictures"), "--picture", ".PNG", "--dpi", "20"};
  const std::string journal = folder.file("out.gdb/") + kSheetJournalName;
  const pid_t first = StartCli(arguments);
  while (LinesIn(journal) < 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  auto second = arguments;
  second.push_back("--overwrite");
  EXPECT_EQ(WaitFor(StartCli(second)), 1) << "refused at once";
  EXPECT_EQ(WaitFor(first), 0) << "the first job completes intact";
  EXPECT_EQ(LinesIn(journal), 50);
  EXPECT_EQ(ClassesOf(folder.file("out.gdb")).size(), 150u);

  // SIGTERM and SIGHUP stop like Ctrl-C: between sheets, the output consistent, exit 1.
  for (const int signal : {SIGTERM, SIGHUP}) {
    const pid_t run = StartCli(second);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(run, signal);
    EXPECT_EQ(WaitFor(run), 1) << signal;
    const int finished = LinesIn(journal);
    EXPECT_LT(finished, 50) << signal;
    const auto classes = ClassesOf(folder.file("out.gdb"));
    EXPECT_EQ(classes.size(), 3u * finished) << signal;
    for (const auto& [name, count] : classes) EXPECT_GT(count, 0) << name;
  }
}

TEST(InterruptedRun, AFullDiskLeavesEveryPresentSheetCompleteAndFails) {
  ScratchFolder folder;
  const std::string source = folder.file("squares.gpkg");
  WriteSquares(source);
  std::string arguments = "print --mode polygon --doc '" + source + "' --layer sheets --name '[NAME]' --out '" +
                          folder.file("out.gdb") + "' --folder '" + folder.file("pictures") +
                          "' --picture .PNG --dpi 200";
  // No file may grow past a few dozen kilobytes: the disk is full for the pictures and,
  // soon after, for the geodatabase's tables.
  const std::string command = "QT_QPA_PLATFORM=offscreen sh -c \"trap '' XFSZ; ulimit -f 40; exec '" +
                              std::string(FRAMORA_CLI) + "' " + arguments + "\" >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const int finished = LinesIn(folder.file("out.gdb/") + kSheetJournalName);
  EXPECT_LT(finished, 50);
  // Every sheet the journal vouches for reads back whole; the rest are made by --resume.
  GDALDatasetUniquePtr output(GDALDataset::Open(folder.file("out.gdb").c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(output);
  std::ifstream journal(folder.file("out.gdb/") + kSheetJournalName);
  for (std::string dataset; std::getline(journal, dataset);)
    for (const char* prefix : {"L_", "p_", "a_"}) {
      OGRLayer* layer = output->GetLayerByName((prefix + dataset.substr(1)).c_str());
      ASSERT_NE(layer, nullptr) << dataset;
      EXPECT_GT(layer->GetFeatureCount(TRUE), 0) << dataset;
    }
  output.reset();
  const std::string resume = "QT_QPA_PLATFORM=offscreen '" + std::string(FRAMORA_CLI) + "' " + arguments +
                             " --resume >/dev/null 2>&1";
  EXPECT_EQ(std::system(resume.c_str()), 0);
  EXPECT_EQ(ClassesOf(folder.file("out.gdb")).size(), 150u);
  for (const auto& [name, size] : PicturesOf(folder.file("pictures"))) EXPECT_NE(size, -1) << name;
}

}  // namespace
}  // namespace framora
