// The main of test programs that draw pages: the program, not the library, makes the Qt
// application, without a screen unless QT_QPA_PLATFORM asks for one.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "layout/gui_application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  framora::DrawOffscreenUnlessAsked();
  QGuiApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
