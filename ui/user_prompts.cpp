// SPDX-License-Identifier: MIT
// The desktop's message boxes, file dialogs and colour dialog.
#include "ui/user_prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/qt_conversions.h"

namespace drumplot {

// File filters
// ============================================================================

QString qtNameFilter(const QString& filter) {
  qsizetype bar = filter.indexOf(QLatin1Char('|'));
  if (bar < 0) return filter;
  QString description = filter.left(bar);
  QString patterns = filter.mid(bar + 1);
  QString spaced = patterns;
  spaced.replace(QLatin1Char(';'), QLatin1Char(' '));
  QString written = QLatin1Char('(') + patterns + QLatin1Char(')');
  if (description.endsWith(written)) {
    description.chop(written.size());
    return description + QLatin1Char('(') + spaced + QLatin1Char(')');
  }
  return description + QStringLiteral(" (") + spaced + QLatin1Char(')');
}

namespace {

void prepare(QFileDialog& dialog, const FileRequest& request) {
  QStringList filters;
  for (const QString& filter : request.filters) filters << qtNameFilter(filter);
  dialog.setWindowTitle(request.title);
  dialog.setNameFilters(filters);
  if (request.selectedFilter >= 0 && request.selectedFilter < filters.size()) {
    dialog.selectNameFilter(filters[request.selectedFilter]);
  }
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.startFile.isEmpty()) {
    const QFileInfo start(request.startFile);
    dialog.setDirectory(start.absolutePath());
    dialog.selectFile(start.fileName());
  }
}

QString chosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

Answer toAnswer(int button) {
  switch (button) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

}  // namespace

// DesktopPrompts - Message boxes
// ============================================================================

Answer DesktopPrompts::askYesNoCancel(QWidget* parent, const QString& text) {
  return toAnswer(QMessageBox::question(parent, QApplication::applicationName(), displayText(text),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
}

Answer DesktopPrompts::askYesNo(QWidget* parent, const QString& text) {
  int button = QMessageBox::question(parent, QApplication::applicationName(), displayText(text),
                                     QMessageBox::Yes | QMessageBox::No);
  return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void DesktopPrompts::inform(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QApplication::applicationName(), displayText(text));
}

void DesktopPrompts::warn(QWidget* parent, const QString& text) {
  QApplication::beep();
  QMessageBox::warning(parent, QApplication::applicationName(), displayText(text));
}

// DesktopPrompts - File and colour dialogs
// ============================================================================

QString DesktopPrompts::openFileName(QWidget* parent, const FileRequest& request) {
  QFileDialog dialog(parent);
  prepare(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  return chosenFile(dialog);
}

QString DesktopPrompts::saveFileName(QWidget* parent, const FileRequest& request) {
  QFileDialog dialog(parent);
  prepare(dialog, request);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  return chosenFile(dialog);
}

std::optional<QColor> DesktopPrompts::chooseColor(QWidget* parent, const QColor& initial) {
  QColor color = QColorDialog::getColor(initial, parent);
  if (!color.isValid()) return std::nullopt;
  return color;
}

}  // namespace drumplot
