// SPDX-License-Identifier: MIT
// Helpers for driving the windows, and the test program's main.
#include "ui_test_support.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>
#include <QtTest/QTest>

#include "ui/main_window.h"

namespace drumplot::test {

void typeInto(QWidget* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);  // select all
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

QAction* menuAction(MainWindow& window, const QString& menu, const QString& item) {
  for (QAction* top : window.menuBar()->actions()) {
    if (top->text() != menu || !top->menu()) continue;
    for (QAction* action : top->menu()->actions()) {
      if (action->text() == item) return action;
    }
  }
  ADD_FAILURE() << "no menu item " << menu.toStdString() << " / " << item.toStdString();
  return nullptr;
}

QAction* toolAction(MainWindow& window, const QString& hint) {
  for (QToolBar* bar : window.findChildren<QToolBar*>()) {
    for (QAction* action : bar->actions()) {
      if (action->toolTip() == hint) return action;
    }
  }
  ADD_FAILURE() << "no tool button " << hint.toStdString();
  return nullptr;
}

QAction* popupAction(MainWindow& window, const QString& item) {
  for (QAction* action : window.boardMenu()->actions()) {
    if (action->text() == item) return action;
  }
  ADD_FAILURE() << "no pop-up item " << item.toStdString();
  return nullptr;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint position, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(type, QPointF(position), QPointF(widget->mapToGlobal(position)), button,
                    buttons, modifiers);
  QApplication::sendEvent(widget, &event);
}

void exitByMenu(QWidget* window) {
  window->findChild<QMenuBar*>()->actions().at(0)->trigger();
}

std::filesystem::path demoFile(const char* name) {
  return std::filesystem::path(DRUMPLOT_SOURCE_DIR) / "examples" / "demo" / name;
}

}  // namespace drumplot::test

namespace {

// A dialog no test answers would wait for ever: after 10 s it fails the
// running test and is rejected.
void watchForUnansweredDialogs() {
  auto* watchdog = new QTimer(qApp);
  QObject::connect(watchdog, &QTimer::timeout, [] {
    static QPointer<QWidget> seen;
    static QElapsedTimer since;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != seen) {
      seen = modal;
      since.start();
      return;
    }
    if (!modal || since.elapsed() < 10000) return;
    ADD_FAILURE() << "unanswered dialog: " << modal->windowTitle().toStdString();
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(QDialog::Rejected);
  });
  watchdog->start(500);
}

// The offscreen platform's notes about what it cannot do are not faults.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QLatin1String("This plugin does not support"))) return;
  qt_message_output(type, context, text);
}

}  // namespace

// The windows need a QApplication; listing the tests does not.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  qInstallMessageHandler(quietPlatformNotes);
  QApplication app(argc, argv);
  watchForUnansweredDialogs();
  return RUN_ALL_TESTS();
}
