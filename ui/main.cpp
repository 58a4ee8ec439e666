// SPDX-License-Identifier: MIT
// drumplot: the desktop job editor. It takes no arguments.
#include <QApplication>

#include "job/settings_file.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("drumplot"));
  QApplication::setApplicationVersion(QStringLiteral(DRUMPLOT_VERSION));
  drumplot::MainWindow window({drumplot::settingsFilePath(), nullptr, {}});
  window.showMaximized();
  return QApplication::exec();
}
