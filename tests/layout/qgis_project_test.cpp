#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "layout/layout_test_support.h"

namespace framora {
namespace {

// Runs a command and returns its exit status and what it printed.
int RunCommand(const std::string& command, std::string& printed) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) printed += buffer.data();
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool QgisAvailable() {
  std::string ignored;
  return std::filesystem::exists("/usr/bin/python3") &&
         RunCommand("QT_QPA_PLATFORM=offscreen /usr/bin/python3 -c 'import qgis.core'", ignored) == 0;
}

class QgisOpensTheMapDocument : public testing::SheetLayoutTest {};

TEST_F(QgisOpensTheMapDocument, WithValidLayersAndTheLayoutAtTheMapScale) {
  if (!QgisAvailable()) GTEST_SKIP() << "QGIS's Python bindings are not installed";
  auto builder = makeBuilder("frames.gdb");
  buildSheet(*builder);
  builder.reset();  // the geodatabase is complete once its writer is closed
  ASSERT_TRUE(ui.messages.empty()) << ui.messages.front();

  const auto script = std::filesystem::path(FRAMORA_LAYOUT_TEST_DIR) / "check_map_document.py";
  std::string printed;
  const int status = RunCommand("QT_QPA_PLATFORM=offscreen /usr/bin/python3 '" + script.string() + "' '" + output("S.qgs") +
                             "' S 316 296 10000 2420 1520 5580 4480",
                         printed);
  EXPECT_EQ(status, 0) << printed;
}

}  // namespace
}  // namespace framora
