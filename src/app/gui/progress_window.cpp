#include "app/gui/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QScreen>

#include <algorithm>

namespace framora {
namespace {

struct BarProgress {
  int position = 0;
  int total = 1;
};

// The one progress of the program.
struct ProgressState {
  // Guarded: the window dies with its owner should the owner go first.
  QPointer<TMyProgress> window;
  bool cancelled = false;
  int levels = 1;
  std::vector<BarProgress> bars;
  std::string caption;
};

ProgressState& State() {
  static ProgressState state;
  return state;
}

int CurrentBar(const ProgressState& state) { return state.levels < 1 ? 0 : state.levels - 1; }

// Every bar at its total: the run is through, the window goes.
void CloseWhenComplete(ProgressState& state) {
  for (const BarProgress& bar : state.bars)
    if (bar.position != bar.total) return;
  EndProgress(true);
}

}  // namespace

TMyProgress::TMyProgress(int bars, bool withCancel, DesktopDialogs& dialogs, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("MyProgress"));
  setWindowTitle(QStringLiteral("进度"));
  // The run goes on underneath; nothing else of the program may start meanwhile.
  setWindowModality(Qt::ApplicationModal);
  setFixedSize(kClientWidth, 35 * bars + 61);
  const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  const QRect desktop = screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
  move(desktop.left() + (desktop.width() - kClientWidth) / 2, desktop.top() + kTop);
  for (int i = 0; i < bars; ++i) {
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setGeometry(9, 30 * i + 25, 304, 17);
    bars_.push_back(bar);
  }
  if (withCancel) {
    cancelButton_ = new QPushButton(QStringLiteral("取消"), this);
    cancelButton_->setObjectName(QStringLiteral("btnCancel"));
    cancelButton_->setGeometry(246, 30 * bars + 24, 62, 26);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  }
}

void TMyProgress::btnCancelClick() {
  if (dialogs_.askOkCancel(this, "你确定终止吗", "终止")) State().cancelled = true;
}

void TMyProgress::closeEvent(QCloseEvent* event) { event->ignore(); }

void StartProgress(int total, const std::string& caption, bool withCancel, DesktopDialogs& dialogs, QWidget* owner) {
  ProgressState& state = State();
  if (state.levels < 2 || !state.window) {
    state.levels = 1;
    delete state.window.data();
    state.window = new TMyProgress(1, withCancel, dialogs, owner);
    state.bars.assign(1, BarProgress{});
    state.cancelled = false;
    state.caption = caption;
  }
  state.window->setWindowTitle(QString::fromStdString(caption));
  BarProgress& bar = state.bars[CurrentBar(state)];
  bar.total = total;
  bar.position = 0;
  state.window->bar(CurrentBar(state))->setValue(0);
}

bool StepProgress(int count) {
  ProgressState& state = State();
  const bool cancelled = state.cancelled;
  if (!state.window) return cancelled;
  if (!state.window->isVisible()) state.window->show();
  if (cancelled) {
    EndProgress(false);
    return true;
  }
  const int index = CurrentBar(state);
  BarProgress& bar = state.bars[index];
  bar.position += count;
  if (QApplication::activeWindow() != nullptr) state.window->raise();
  QApplication::processEvents();
  if (!state.window) return cancelled;
  if (bar.total < 1) bar.total = 1;
  state.window->bar(index)->setValue(std::clamp(bar.position * 100 / bar.total, 0, 100));
  CloseWhenComplete(state);
  return cancelled;
}

void EndProgress(bool force) {
  ProgressState& state = State();
  if (state.levels < 2 || state.cancelled || force) {
    delete state.window.data();
    state.window.clear();
    state.bars.clear();
    state.levels = 1;
    return;
  }
  CloseWhenComplete(state);
}

TMyProgress* CurrentProgressWindow() { return State().window.data(); }

bool ProgressCancelled() { return State().cancelled; }

}  // namespace framora
