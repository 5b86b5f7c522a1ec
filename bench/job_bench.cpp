// Runs "generate" and "print" over the sample sheet index and prints sheets per second and
// peak memory.
#include <QGuiApplication>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/driver/frame_job.h"
#include "layout/gui_application.h"
#include "util/user_interface.h"

#ifndef FRAMORA_SAMPLE_DIR
#define FRAMORA_SAMPLE_DIR "resources/sample"
#endif

namespace {

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace framora;
  DrawOffscreenUnlessAsked();
  QGuiApplication application(argc, argv);
  const std::string sample = argc > 1 ? argv[1] : FRAMORA_SAMPLE_DIR;
  char pattern[] = "/tmp/framora-job-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  SilentUserInterface ui;

  FrameJobInputs inputs;
  inputs.creationMode = 0;
  inputs.documentPath = sample + "/sample.qgs";
  inputs.layerName = "图幅";
  inputs.nameTemplate = "[TFH]";
  inputs.fieldChoices = {"TFH", "TM"};
  const auto assemble = [](FrameSettings& settings) {
    settings = DialogDefaultSettings();
    settings.GridType = 1;
    settings.ScaleBarOn = true;
    settings.TitleField = "TM";
    settings.MainTitle = "[TM]";
    settings.SubTitle1 = "[TFH]";
    settings.ThreeDegreeZones = true;
    settings.CoordsWithZone = true;
    settings.CentralMeridian = 117;
    settings.FrameMode = 1;
    settings.PictureType = ".JPG";
  };

  std::printf("%-28s %10s %12s %14s\n", "job", "sheets", "sheets/s", "peak memory MB");
  struct Case {
    const char* name;
    FrameJobCommand command;
    const char* dpi;
  };
  for (const Case& job : {Case{"generate", FrameJobCommand::Generate, "96"},
                          Case{"print .JPG at 96 dpi", FrameJobCommand::BatchPrint, "96"},
                          Case{"print .JPG at 300 dpi", FrameJobCommand::BatchPrint, "300"}}) {
    int sheets = 0;
    double seconds = 0;
    for (int run = 0; run < 3; ++run) {
      inputs.outputPath = (folder / ("frames" + std::to_string(run) + ".gdb")).string();
      inputs.outputFolder = (folder / ("pictures" + std::to_string(run))).string();
      inputs.dpiText = job.dpi;
      std::filesystem::remove_all(inputs.outputPath);
      FrameSettings settings;
      assemble(settings);
      const auto start = std::chrono::steady_clock::now();
      const FrameJobOutcome outcome = RunFrameJob(job.command, inputs, settings, ui);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      sheets += outcome.sheetsMade;
    }
    std::printf("%-28s %10d %12.2f %14ld\n", job.name, sheets, sheets / seconds, PeakMegabytes());
  }
  std::filesystem::remove_all(folder);
  return 0;
}
