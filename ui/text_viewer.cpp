// SPDX-License-Identifier: MIT
// The text file viewer.
#include "ui/text_viewer.h"

#include <QFontDatabase>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <exception>

#include "io/file_io.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

TextViewer::TextViewer(UserPrompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
  setWindowTitle(QStringLiteral("View text file"));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(5, 5, 5, 5);
  auto* menu = new QMenuBar(this);
  menu->addAction(QStringLiteral("&Open"), this, &TextViewer::open);
  layout->setMenuBar(menu);
  text_ = new QPlainTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(8);
  text_->setFont(font);
  layout->addWidget(text_);
  resize(640, 480);
}

void TextViewer::showFile(const std::filesystem::path& file) {
  std::string bytes = readFileBytes(file);
  text_->setPlainText(QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size())));
  setWindowTitle(QStringLiteral("View text file - ") + toQString(file.string()));
}

QString TextViewer::shownText() const {
  return text_->toPlainText();
}

void TextViewer::open() {
  FileRequest request;
  request.title = QStringLiteral("Open");
  request.filters = {QStringLiteral("Text file(*.*)|*.*")};
  QString file = prompts_.openFileName(this, request);
  if (file.isEmpty()) return;
  try {
    showFile(toPath(file));
  } catch (const std::exception& error) {
    prompts_.warn(this, QString::fromStdString(error.what()));
  }
}

}  // namespace drumplot
