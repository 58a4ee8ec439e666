// SPDX-License-Identifier: MIT
// TextViewer ("View text file"): any file shown read-only in a fixed-pitch font.
#pragma once

#include <QDialog>
#include <filesystem>

class QPlainTextEdit;

namespace drumplot {

class UserPrompts;

class TextViewer final : public QDialog {
 public:
  explicit TextViewer(UserPrompts& prompts, QWidget* parent = nullptr);

  // Shows the file's text; throws IoError when it cannot be read.
  void showFile(const std::filesystem::path& file);
  QString shownText() const;

 private:
  void open();  // "&Open": picks a file and shows it

  UserPrompts& prompts_;
  QPlainTextEdit* text_;
};

}  // namespace drumplot
