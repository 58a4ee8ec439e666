// SPDX-License-Identifier: MIT
// The "Preview exported data" window.
#include "ui/preview_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace drumplot {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QDialog(parent),
      menu_(new QMenuBar(this)),
      area_(new QScrollArea(this)),
      image_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Preview exported data"));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  menu_->addAction(QStringLiteral("&Exit"), this, &QDialog::accept);
  layout->setMenuBar(menu_);
  image_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  area_->setWidget(image_);
  area_->setWidgetResizable(false);
  area_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  area_->setFrameShape(QFrame::NoFrame);
  area_->setBackgroundRole(QPalette::Window);
  layout->addWidget(area_);
}

void PreviewWindow::showImage(const QImage& image) {
  shown_ = image;
  image_->setPixmap(QPixmap::fromImage(image));
  image_->adjustSize();
  area_->ensureVisible(0, 0);
  // Maximised; the geometry too, for desktops without a window manager.
  QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
  setGeometry(shown->availableGeometry());
  setWindowState(windowState() | Qt::WindowMaximized);
  exec();
}

QSize PreviewWindow::imageAreaSize() const {
  QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
  QSize available = shown->availableGeometry().size();
  return {available.width(), available.height() - menu_->sizeHint().height()};
}

QImage PreviewWindow::shownImage() const {
  return shown_;
}

void PreviewWindow::done(int result) {
  QDialog::done(result);
  image_->clear();
  shown_ = QImage();
}

}  // namespace drumplot
