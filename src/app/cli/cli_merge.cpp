// framora-cli merge: joins the outputs of a job's parts (--shard) into one geodatabase.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/command_registry.h"
#include "gis/output_path.h"
#include "gis/workspace.h"
#include "gis/workspace_merge.h"
#include "util/framora_error.h"

namespace framora::cli {
namespace {

const char* const kUsage = R"(Usage: framora-cli merge --out OUTPUT [--overwrite] INPUT...

Merges the geodatabases that the parts of one job wrote (generate or print with
--shard K/N) into OUTPUT: every sheet's feature dataset with its classes, features,
coordinate system, domain and text reference scale. Inputs and output may each be a ".gdb"
folder or a ".gpkg" file. A sheet found in two inputs is refused: the parts of one job never
share a sheet. Without --overwrite an existing OUTPUT is kept and nothing is done.

Example, eight parts on one machine and their merge:
  seq 1 8 | xargs -P 2 -I K framora-cli generate --mode standard --doc sample.qgs \
      --layer 图幅 --name "[TFH]" --shard K/8 --out part-K.gpkg --overwrite
  framora-cli merge --out frames.gdb part-*.gpkg
)";

int Merge(const std::vector<std::string>& args) {
  std::string outputText;
  bool overwrite = false;
  std::vector<std::string> inputs;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--out" && i + 1 < args.size()) {
      outputText = args[++i];
    } else if (args[i].rfind("--out=", 0) == 0) {
      outputText = args[i].substr(6);
    } else if (args[i] == "--overwrite") {
      overwrite = true;
    } else if (args[i].rfind("--", 0) == 0) {
      throw FramoraError("不认识的选项" + args[i] + "，见 --help");
    } else {
      inputs.push_back(args[i]);
    }
  }
  if (outputText.empty()) throw FramoraError("没有输出地理数据库，用 --out 指定");
  if (inputs.empty()) throw FramoraError("没有要合并的地理数据库");

  const OutputPath output(outputText);
  std::vector<OutputPath> parts;
  for (const std::string& input : inputs) {
    const OutputPath part(input);
    if (!part.holdsOutput()) throw FramoraError(part.text() + "不是图廓输出数据库，不能合并");
    std::error_code error;
    if (output.occupied() && std::filesystem::equivalent(part.text(), output.text(), error))
      throw FramoraError("输出" + output.text() + "不能同时是要合并的输入");
    parts.push_back(part);
  }
  if (output.occupied()) {
    if (!overwrite) {
      std::fprintf(stderr, "输出%s已存在，未做任何改动；加 --overwrite 可删除后重新合并\n", output.text().c_str());
      return 1;
    }
    output.deleteOutput();
  }

  auto target = CreateWorkspace(output);
  MergeCount total;
  try {
    for (const OutputPath& part : parts) {
      auto source = OpenWorkspace(part);
      const MergeCount count = CopyFeatureDatasets(*source, *target);
      total.datasets += count.datasets;
      total.features += count.features;
    }
  } catch (...) {
    // Half a merge would pass for the whole job.
    target.reset();
    output.deleteOutput();
    throw;
  }
  std::fprintf(stderr, "合并：%zu个输入，%d幅，%lld个要素，写入%s\n", parts.size(), total.datasets, total.features,
               output.text().c_str());
  return 0;
}

CommandRegistration merge("merge", {"merge the geodatabases of a job's parts (--shard) into one", kUsage, Merge});

}  // namespace
}  // namespace framora::cli
