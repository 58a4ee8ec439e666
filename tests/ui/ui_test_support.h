// SPDX-License-Identifier: MIT
// Driving the windows in tests: scripted answers to message boxes and file
// choosers, acting on a modal dialog once it is shown, menu look-ups and
// mouse events with chosen buttons and modifier keys.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ui/user_prompts.h"

namespace drumplot {

class MainWindow;

namespace test {

// Answers given in order; what was asked is recorded.
class ScriptedPrompts final : public UserPrompts {
 public:
  std::deque<Answer> answers;
  std::deque<QString> files;  // for open and save choosers alike; empty text: Cancel
  std::deque<std::optional<QColor>> colors;

  QStringList questions;
  QStringList messages;  // inform()
  QStringList warnings;  // warn()
  std::vector<FileRequest> requests;

  Answer askYesNoCancel(QWidget*, const QString& text) override { return answer(text); }
  Answer askYesNo(QWidget*, const QString& text) override { return answer(text); }
  void inform(QWidget*, const QString& text) override { messages << text; }
  void warn(QWidget*, const QString& text) override { warnings << text; }
  QString openFileName(QWidget*, const FileRequest& request) override { return file(request); }
  QString saveFileName(QWidget*, const FileRequest& request) override { return file(request); }
  std::optional<QColor> chooseColor(QWidget*, const QColor&) override {
    return next(colors, "colour picker", std::optional<QColor>());
  }

 private:
  Answer answer(const QString& text) {
    questions << text;
    return next(answers, "question: " + text.toStdString(), Answer::Cancel);
  }
  QString file(const FileRequest& request) {
    requests.push_back(request);
    return next(files, "file chooser: " + request.title.toStdString(), QString());
  }
  // The first of `queue`, taken from it; `none` and a failure when it is empty.
  template <typename T>
  static T next(std::deque<T>& queue, const std::string& what, T none) {
    if (queue.empty()) {
      ADD_FAILURE() << "unexpected " << what;
      return none;
    }
    T first = queue.front();
    queue.pop_front();
    return first;
  }
};

// Runs `action` on the next modal dialog of type Dialog as soon as it is
// shown (from inside its event loop); fails when none shows within 5 s.
template <typename Dialog, typename Action>
void whenShown(Action action) {
  auto* poll = new QTimer(qApp);
  QDeadlineTimer deadline(5000);
  QObject::connect(poll, &QTimer::timeout, [poll, deadline, action]() mutable {
    auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog && !deadline.hasExpired()) return;
    poll->stop();
    poll->deleteLater();
    if (!dialog) {
      ADD_FAILURE() << "the expected dialog was not shown";
      return;
    }
    action(*dialog);
  });
  poll->start(10);
}

// The child of `parent` of the class T whose text is `text`.
template <typename T>
T* withText(QWidget* parent, const QString& text) {
  for (T* child : parent->findChildren<T*>()) {
    if (child->text() == text) return child;
  }
  ADD_FAILURE() << "no " << T::staticMetaObject.className() << " " << text.toStdString();
  return nullptr;
}
inline QPushButton* button(QWidget* parent, const QString& text) {
  return withText<QPushButton>(parent, text);
}
inline QCheckBox* checkBox(QWidget* parent, const QString& text) {
  return withText<QCheckBox>(parent, text);
}
inline void clickRadio(QWidget* parent, const QString& text) {
  if (QRadioButton* radio = withText<QRadioButton>(parent, text)) radio->click();
}
// Replaces a field's text as typed by the user.
void typeInto(QWidget* field, const QString& text);

// A menu item by menu title and item text ("&Job", "&Open").
QAction* menuAction(MainWindow& window, const QString& menu, const QString& item);
// A tool-bar button by its hint.
QAction* toolAction(MainWindow& window, const QString& hint);
// A board pop-up item by its text.
QAction* popupAction(MainWindow& window, const QString& item);

void sendMouse(QWidget* widget, QEvent::Type type, QPoint position, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Leaves a window by the first item of its menu bar ("&Exit").
void exitByMenu(QWidget* window);

inline QString qstr(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

// The shipped demo board's files.
std::filesystem::path demoFile(const char* name);

}  // namespace test
}  // namespace drumplot
