#include <gtest/gtest.h>

#include <QLineEdit>

#include <fstream>

#include "app/gui/desktop_helpers.h"
#include "app/gui/platform_binding.h"
#include "app_test_support.h"
#include "support/temp_folder.h"
#include "util/recording_user_interface.h"

namespace framora {
namespace {

using testing::RecordingDialogs;

TEST(ProgramVersionTextTest, KeepsOneCharacterAfterTheFirstDot) {
  EXPECT_EQ(ShortVersionText("2.1.0.0"), "2.1");
  EXPECT_EQ(ShortVersionText("10.2.1"), "10.2");
  EXPECT_EQ(ShortVersionText("7"), "7");
  EXPECT_EQ(ShortVersionText("3."), "3.");
  RecordingDialogs dialogs;
  EXPECT_EQ(ProgramVersionText(dialogs, nullptr, "0.1.0"), "0.1");
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(ProgramVersionText(dialogs, nullptr, ""), "");
  EXPECT_EQ(dialogs.errorCaptions, std::vector<std::string>({"错误"}));
  EXPECT_EQ(dialogs.errors.back(), "获取产品信息时遇到致命错误，请尝试重新启动软件。\n若仍未能解决问题，请联系产品服务人员。");
}

TEST(FileNameTest, ExtensionsBelongToTheNameNotTheFolders) {
  EXPECT_EQ(ChangeFileExtension("/a/out", ".gdb"), "/a/out.gdb");
  EXPECT_EQ(ChangeFileExtension("/a/out.gdb", ".gpkg"), "/a/out.gpkg");
  EXPECT_EQ(ChangeFileExtension("/a.b/out", ".gdb"), "/a.b/out.gdb");
  EXPECT_EQ(ChangeFileExtension("x.tar.gdb", ".gpkg"), "x.tar.gpkg");
  EXPECT_EQ(FileExtension("/a.b/out"), "");
  EXPECT_EQ(FolderPart("/data/maps/old"), "/data/maps/");
  EXPECT_EQ(FolderPart("old"), "");
  EXPECT_EQ(QtFileFilter("*.gdb|*.gdb|*.gpkg|*.gpkg"), "*.gdb;;*.gpkg");
  EXPECT_EQ(QtFileFilter("地图文档|*.qgs;*.qgz|所有文件|*"), "地图文档 (*.qgs *.qgz);;所有文件 (*)");
}

TEST(FileNameTest, SaveChooserWithoutAnExtensionForTheFilterTakesTheDefault) {
  testing::EnsureWidgetApplication();
  RecordingDialogs dialogs;
  QLineEdit edit;
  dialogs.saveAnswer = DesktopDialogs::SaveChoice{"/a/out", 2};
  EXPECT_TRUE(ChooseFileToSave(dialogs, edit, "*.gdb|*.gdb|*.gpkg|*.gpkg|all|*", {"*.gdb", "*.gpkg", "*"}, ".gdb"));
  EXPECT_EQ(edit.text(), "/a/out.gdb");
}

TEST(ShellOpenTest, OpensAnExistingFileAndNamesWhatWentWrong) {
  testing::EnsureWidgetApplication();
  testing::TempFolder folder;
  const std::string help = folder.file("framora.html");
  std::ofstream(help) << "<html></html>";
  RecordingDialogs dialogs;
  EXPECT_GT(ShellOpen(dialogs, nullptr, help), 32);
  ASSERT_EQ(dialogs.opened.size(), 1u);
  EXPECT_EQ(dialogs.opened[0].toLocalFile().toStdString(), help);
  EXPECT_TRUE(dialogs.errors.empty());

  EXPECT_EQ(ShellOpen(dialogs, nullptr, folder.file("none.html")), 2);
  EXPECT_EQ(dialogs.errors.back(), "文件找不到！");
  EXPECT_EQ(dialogs.errorCaptions.back(), "打开文件" + folder.file("none.html"));
  EXPECT_EQ(ShellOpen(dialogs, nullptr, folder.file("no/such/help.html")), 3);
  EXPECT_EQ(dialogs.errors.back(), "路径找不到！");
  dialogs.openSucceeds = false;
  EXPECT_LE(ShellOpen(dialogs, nullptr, help), 32);
  EXPECT_EQ(dialogs.errors.back(), "文件运行错误！");
}

TEST(PlatformBindingTest, MissingDriversAreReportedAndTheProgramGoesOn) {
  RecordingUserInterface ui;
  EXPECT_TRUE(BindGisPlatform(ui));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(BindGisPlatform(ui, {"OpenFileGDB", "NoSuchDriver"}));
  EXPECT_EQ(ui.messages, std::vector<std::string>({"没有安装arcgis10 Desktop"}));
}

}  // namespace
}  // namespace framora
