#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "app/gui/progress_window.h"
#include "app_test_support.h"

namespace framora {
namespace {

using testing::RecordingDialogs;

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureWidgetApplication(); }
  void TearDown() override { EndProgress(true); }

  int percent() const { return CurrentProgressWindow()->bar(0)->value(); }

  RecordingDialogs dialogs;
};

TEST_F(ProgressWindowTest, LaidOutAsDesignedAndShownAtTheFirstStep) {
  TMyProgress bare(1, false, dialogs, nullptr);
  EXPECT_EQ(bare.windowTitle(), "进度");
  EXPECT_EQ(bare.cancelButton(), nullptr);

  StartProgress(5, "正在生成图廓", true, dialogs);
  TMyProgress* window = CurrentProgressWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "正在生成图廓");
  EXPECT_EQ(window->size(), QSize(326, 96));
  EXPECT_EQ(window->bar(0)->geometry(), QRect(9, 25, 304, 17));
  ASSERT_NE(window->cancelButton(), nullptr);
  EXPECT_EQ(window->cancelButton()->text(), "取消");
  EXPECT_EQ(window->cancelButton()->geometry(), QRect(246, 54, 62, 26));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window->pos(), QPoint(screen.left() + (screen.width() - 326) / 2, screen.top() + 200));
  EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(StepProgress(1));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(percent(), 20);
}

TEST_F(ProgressWindowTest, ClosesWhenThePositionReachesTheTotalExactly) {
  StartProgress(3, "正在生成图廓", true, dialogs);
  StepProgress(1);
  EXPECT_EQ(percent(), 33);
  StepProgress(1);
  EXPECT_EQ(percent(), 66);
  StepProgress(1);
  EXPECT_EQ(CurrentProgressWindow(), nullptr);
  // Further steps do nothing and report no stop.
  EXPECT_FALSE(StepProgress(1));

  // A total of 0 counts as 1: the first step completes it.
  StartProgress(0, "正在生成图廓", true, dialogs);
  StepProgress(1);
  EXPECT_EQ(CurrentProgressWindow(), nullptr);

  // Overshooting never equals the total; the end of the run closes the window.
  StartProgress(3, "正在生成图廓", true, dialogs);
  StepProgress(2);
  StepProgress(2);
  ASSERT_NE(CurrentProgressWindow(), nullptr);
  EXPECT_EQ(percent(), 100);
  EndProgress(false);
  EXPECT_EQ(CurrentProgressWindow(), nullptr);
}

TEST_F(ProgressWindowTest, ConfirmedCancelStopsAtTheNextStep) {
  StartProgress(10, "正在生成图廓", true, dialogs);
  StepProgress(1);
  dialogs.answerOk = false;
  CurrentProgressWindow()->cancelButton()->click();
  EXPECT_EQ(dialogs.questions, std::vector<std::string>({"你确定终止吗"}));
  EXPECT_FALSE(StepProgress(1));
  EXPECT_FALSE(ProgressCancelled());

  dialogs.answerOk = true;
  CurrentProgressWindow()->cancelButton()->click();
  EXPECT_TRUE(ProgressCancelled());
  EXPECT_TRUE(StepProgress(1));
  EXPECT_EQ(CurrentProgressWindow(), nullptr);
  // The flag stays until the next run starts.
  EXPECT_TRUE(StepProgress(1));
  StartProgress(2, "正在生成图廓", true, dialogs);
  EXPECT_FALSE(ProgressCancelled());
  EXPECT_FALSE(StepProgress(1));
}

TEST_F(ProgressWindowTest, ACloseRequestDoesNotCloseIt) {
  StartProgress(4, "正在生成图廓", false, dialogs);
  StepProgress(1);
  CurrentProgressWindow()->close();
  ASSERT_NE(CurrentProgressWindow(), nullptr);
  EXPECT_TRUE(CurrentProgressWindow()->isVisible());
}

}  // namespace
}  // namespace framora
