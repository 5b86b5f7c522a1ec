#include "app/gui/desktop_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "app/gui/frm_tk_tool.h"

namespace framora {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString Caption(QWidget* parent) {
  if (parent != nullptr && !parent->window()->windowTitle().isEmpty()) return parent->window()->windowTitle();
  return QString::fromUtf8(kApplicationTitle);
}

}  // namespace

QString QtFileFilter(const std::string& windowsFilter) {
  const QStringList parts = Text(windowsFilter).split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << (description == pattern ? pattern : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
  }
  return filters.join(QStringLiteral(";;"));
}

std::optional<std::string> QtDesktopDialogs::openFile(QWidget* parent, const QString& filter,
                                                      const std::string& preset) {
  const QString chosen = QFileDialog::getOpenFileName(parent, QString(), Text(preset), filter);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

std::optional<DesktopDialogs::SaveChoice> QtDesktopDialogs::saveFile(QWidget* parent, const QString& filter,
                                                                     const std::string& preset) {
  QString selected;
  // The commands ask before replacing an output themselves.
  const QString chosen = QFileDialog::getSaveFileName(parent, QString(), Text(preset), filter, &selected,
                                                      QFileDialog::DontConfirmOverwrite);
  if (chosen.isEmpty()) return std::nullopt;
  const int index = static_cast<int>(filter.split(QStringLiteral(";;")).indexOf(selected));
  return SaveChoice{chosen.toStdString(), index < 0 ? 0 : index};
}

std::optional<std::string> QtDesktopDialogs::folder(QWidget* parent, const QString& title, const std::string& start) {
  const QString chosen = QFileDialog::getExistingDirectory(parent, title, Text(start));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

bool QtDesktopDialogs::askOkCancel(QWidget* parent, const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Text(caption), Text(text), QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Cancel);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  return box.exec() == QMessageBox::Ok;
}

ExistingOutputAnswer QtDesktopDialogs::askExistingOutput(QWidget* parent, const std::string& text,
                                                        const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Text(caption), Text(text), QMessageBox::Ok | QMessageBox::Cancel, parent);
  QPushButton* resume = box.addButton(QStringLiteral("继续"), QMessageBox::AcceptRole);
  box.setDefaultButton(QMessageBox::Cancel);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  box.exec();
  if (box.clickedButton() == resume) return ExistingOutputAnswer::Continue;
  return box.clickedButton() == box.button(QMessageBox::Ok) ? ExistingOutputAnswer::Delete : ExistingOutputAnswer::Keep;
}

void QtDesktopDialogs::message(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, Caption(parent), Text(text), QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  box.exec();
}

void QtDesktopDialogs::error(QWidget* parent, const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, caption.empty() ? Caption(parent) : Text(caption), Text(text),
                  QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  box.exec();
}

int QtDesktopDialogs::showModal(QDialog& dialog) { return dialog.exec(); }

bool QtDesktopDialogs::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace framora
