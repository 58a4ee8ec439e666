// SPDX-License-Identifier: MIT
// UserPrompts: the message boxes, file choosers and colour picker the
// windows ask the user through, behind one small interface so that tests
// can answer them.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace drumplot {

enum class Answer { Yes, No, Cancel };

// A file chooser. Filters are written "Description|patterns", patterns
// separated by ";" ("Gerber data (*.gbr;*.pho)|*.gbr;*.pho").
struct FileRequest {
  QString title;
  QStringList filters;
  int selectedFilter = 0;
  QString defaultSuffix;  // added to a saved name without one
  QString startFile;      // when set, the chooser opens in its folder, offering its name
};

class UserPrompts {
 public:
  UserPrompts() = default;
  UserPrompts(const UserPrompts&) = delete;
  UserPrompts& operator=(const UserPrompts&) = delete;
  virtual ~UserPrompts() = default;

  // Texts may break lines with "\r".
  virtual Answer askYesNoCancel(QWidget* parent, const QString& text) = 0;
  virtual Answer askYesNo(QWidget* parent, const QString& text) = 0;  // Yes or No
  virtual void inform(QWidget* parent, const QString& text) = 0;      // OK button
  virtual void warn(QWidget* parent, const QString& text) = 0;        // a command failed
  // The chosen file, or an empty text on Cancel. Open accepts only
  // existing files.
  virtual QString openFileName(QWidget* parent, const FileRequest& request) = 0;
  virtual QString saveFileName(QWidget* parent, const FileRequest& request) = 0;
  // The system colour picker: the chosen colour, or nothing on Cancel.
  virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
};

// The desktop's message boxes, file dialogs and colour dialog.
class DesktopPrompts final : public UserPrompts {
 public:
  Answer askYesNoCancel(QWidget* parent, const QString& text) override;
  Answer askYesNo(QWidget* parent, const QString& text) override;
  void inform(QWidget* parent, const QString& text) override;
  void warn(QWidget* parent, const QString& text) override;
  QString openFileName(QWidget* parent, const FileRequest& request) override;
  QString saveFileName(QWidget* parent, const FileRequest& request) override;
  std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
};

// One "Description|patterns" filter in Qt's form: the patterns in the
// description's trailing parentheses, separated by spaces
// ("Gerber data (*.gbr *.pho)"), added when the description has none.
QString qtNameFilter(const QString& filter);

}  // namespace drumplot
