// A new user's session with the real boxes and choosers, for looking at: run under a
// display with FRAMORA_SCREENSHOT_DIR set, for example
//   FRAMORA_SCREENSHOT_DIR=/tmp/shots QT_QPA_PLATFORM=xcb xvfb-run -a
//       build/bin/framora_tests_app --gtest_filter='UserSession*'
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/gui/desktop_helpers.h"
#include "app/gui/frm_tk_tool.h"
#include "app/gui/progress_window.h"
#include "app_test_support.h"
#include "support/temp_folder.h"

namespace framora {
namespace {

namespace fs = std::filesystem;

// Acts in each modal window as it comes up, in order; a step whose kind of window does not
// come is passed over. Anything left open too long is closed, so the session never hangs.
class ModalScript {
 public:
  struct Step {
    std::function<bool(QWidget*)> expects;
    std::function<void(QWidget*)> act;
  };

  ModalScript() {
    timer_.setInterval(40);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  void then(std::function<bool(QWidget*)> expects, std::function<void(QWidget*)> act) {
    steps_.push_back({std::move(expects), std::move(act)});
  }
  bool done() const { return steps_.empty(); }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      patience_ = 0;
      return;
    }
    if (modal != last_) {
      // Steps before the first that expects this window are passed over.
      const auto match =
          std::find_if(steps_.begin(), steps_.end(), [&](const Step& step) { return step.expects(modal); });
      if (match != steps_.end()) {
        steps_.erase(steps_.begin(), match);
        last_ = modal;
        patience_ = 0;
        Step step = steps_.front();
        steps_.pop_front();
        step.act(modal);
        return;
      }
    }
    // A box nobody acts in, or one still open after acting, is closed after ten seconds.
    if (++patience_ > 250)
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  }

  std::deque<Step> steps_;
  QPointer<QWidget> last_;
  QTimer timer_;
  int patience_ = 0;
};

template <typename Kind>
bool Is(QWidget* widget) {
  return dynamic_cast<Kind*>(widget) != nullptr;
}

class UserSession : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* shots = std::getenv("FRAMORA_SCREENSHOT_DIR");
    if (shots == nullptr) GTEST_SKIP() << "FRAMORA_SCREENSHOT_DIR not set";
    folder = shots;
    fs::create_directories(folder);
    testing::EnsureWidgetApplication();
    InstallChineseQtTranslations();
  }
  // Puts the name into the chooser (pasted: typing would race the completer) and presses Enter.
  void typeIntoChooser(QWidget* chooser, const std::string& name, const std::string& shotName) {
    auto* edit = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(name));
    QTest::qWait(100);
    shot(chooser, shotName);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void shot(QWidget* widget, const std::string& name) {
    QApplication::processEvents();
    EXPECT_TRUE(widget->grab().save(QString::fromStdString(folder + "/" + name + ".png"))) << name;
  }
  std::function<void(QWidget*)> grabAndAccept(const std::string& name) {
    return [this, name](QWidget* box) {
      shot(box, name);
      if (auto* message = qobject_cast<QMessageBox*>(box); message && message->button(QMessageBox::Ok))
        message->button(QMessageBox::Ok)->click();
      else
        static_cast<QDialog*>(box)->accept();
    };
  }
  // Picks an entry of a combo box's list the way a user does: open it, go down, press Enter.
  void pickFromList(QComboBox* combo, int row, const std::string& shotName = "") {
    combo->setFocus();
    combo->showPopup();
    QApplication::processEvents();
    if (!shotName.empty()) shot(combo->view()->window(), shotName);
    QAbstractItemView* list = combo->view();
    list->setCurrentIndex(list->model()->index(row, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QApplication::processEvents();
  }

  std::string folder;
};

TEST_F(UserSession, ChooseGenerateAndPrintTheSample) {
  testing::TempFolder work;
  fs::copy(FRAMORA_SAMPLE_DIR, work.file("sample"));
  const std::string document = work.file("sample/sample.qgs");
  const std::string pictures = work.file("pictures");
  fs::create_directories(pictures);

  QtDesktopDialogs dialogs;
  TFrmTkTool window(dialogs, work.file("framora.set"));
  window.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  shot(&window, "01_start");

  ModalScript script;
  // The document chooser.
  script.then(Is<QFileDialog>, [&](QWidget* chooser) { typeIntoChooser(chooser, document, "02_open_document"); });
  QTest::mouseClick(window.control<QPushButton>("btnfile"), Qt::LeftButton);
  EXPECT_EQ(window.control<QLineEdit>("edtmxd")->text().toStdString(), document);

  QRadioButton* standardSheets = window.control<RadioGroup>("rgtype")->button(0);
  QTest::mouseClick(standardSheets, Qt::LeftButton, {}, QPoint(8, standardSheets->height() / 2));
  EXPECT_EQ(window.control<RadioGroup>("rgtype")->itemIndex(), 0);
  pickFromList(window.control<QComboBox>("CBLayer"), 2, "03_layer_list");
  pickFromList(window.control<QComboBox>("CbField"), 0);
  EXPECT_EQ(window.control<QLineEdit>("edtFileName")->text(), "[TFH]");
  QTest::keyClicks(window.control<QLineEdit>("edtMapscale1"), "10000");

  // The output chooser, GeoPackage picked as the type.
  script.then(Is<QFileDialog>, [&](QWidget* chooser) {
    static_cast<QFileDialog*>(chooser)->selectNameFilter(QStringLiteral("*.gpkg"));
    typeIntoChooser(chooser, work.file("frames"), "04_save_output");
  });
  QTest::mouseClick(window.control<QPushButton>("btnout"), Qt::LeftButton);
  EXPECT_EQ(window.control<QLineEdit>("edtoutFile")->text().toStdString(), work.file("frames.gpkg"));

  script.then(Is<QFileDialog>, [&](QWidget* chooser) { typeIntoChooser(chooser, pictures, "05_choose_folder"); });
  QTest::mouseClick(window.control<QPushButton>("btnmxdjpg"), Qt::LeftButton);
  EXPECT_EQ(window.control<QLineEdit>("edtmxdPath")->text().toStdString(), pictures + "/");

  // The scale menu on a right click.
  QLineEdit* scale = window.control<QLineEdit>("edtMapscale1");
  emit scale->customContextMenuRequested(QPoint(5, 5));
  QApplication::processEvents();
  shot(window.scaleMenu(), "06_scale_menu");
  window.scaleMenu()->hide();
  shot(&window, "07_ready");

  // The settings dialog, each of its tabs.
  script.then(Is<TFrmset>, [&](QWidget* dialog) {
    auto* settings = static_cast<TFrmset*>(dialog);
    shot(settings, "08_settings_grid");
    settings->pageControl()->setCurrentIndex(TFrmset::kBasicTab);
    shot(settings, "09_settings_basic");
    settings->pageControl()->setCurrentIndex(TFrmset::kSideNotesTab);
    shot(settings, "10_settings_sides");
    settings->pageControl()->setCurrentIndex(TFrmset::kGridTab);
    settings->accept();
  });
  QTest::mouseClick(window.control<QPushButton>("btndown"), Qt::LeftButton);

  // Generate: the progress window, then the time taken.
  bool progressSeen = false;
  script.then(Is<TMyProgress>, [&](QWidget* progress) {
    progressSeen = true;
    shot(progress, "11_progress");
  });
  script.then(Is<QMessageBox>, grabAndAccept("12_done"));
  QTest::mouseClick(window.control<QPushButton>("Button1"), Qt::LeftButton);
  EXPECT_TRUE(fs::exists(work.file("frames.gpkg")));

  // Batch print over the output just made: the question first.
  script.then(Is<QMessageBox>, grabAndAccept("13_delete_question"));
  // The progress window part way through.
  bool midwayShot = false;
  QTimer midway;
  midway.setInterval(5);
  QObject::connect(&midway, &QTimer::timeout, [&] {
    TMyProgress* progress = CurrentProgressWindow();
    if (midwayShot || progress == nullptr || progress->bar(0)->value() < 40) return;
    midwayShot = true;
    midway.stop();
    shot(progress, "14_progress_print");
  });
  midway.start();
  script.then(Is<QMessageBox>, grabAndAccept("15_done_print"));
  QTest::mouseClick(window.control<QPushButton>("btnPrint"), Qt::LeftButton);
  midway.stop();
  EXPECT_TRUE(midwayShot);
  std::size_t jpegs = 0;
  for (const auto& entry : fs::directory_iterator(pictures)) jpegs += entry.path().extension() == ".JPG";
  EXPECT_EQ(jpegs, 9u);

  // A mistake in the template, in the application's error box.
  window.control<QLineEdit>("edtFileName")->setText("TFH");
  script.then(Is<QMessageBox>, grabAndAccept("16_error"));
  QTest::mouseClick(window.control<QPushButton>("Button1"), Qt::LeftButton);

  // The sheet-number box when no creation mode is chosen.
  window.control<RadioGroup>("rgtype")->setItemIndex(-1);
  shot(&window, "17_sheet_number");
  EXPECT_TRUE(script.done());
  (void)progressSeen;

  // The help as a browser shows it.
  QTextBrowser help;
  help.resize(900, 1000);
  help.setSource(QUrl::fromLocalFile(QString::fromStdString(std::string(FRAMORA_SAMPLE_DIR) +
                                                            "/../framora.html")));
  help.show();
  shot(&help, "18_help");
}

}  // namespace
}  // namespace framora
