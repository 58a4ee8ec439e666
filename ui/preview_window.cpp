// SPDX-License-Identifier: MIT
// The "Preview exported data" window.
#include "ui/preview_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace drumplot {

namespace {

constexpr int kLegendWidth_px = 200;
constexpr int kLegendMargin_px = 10;
constexpr int kSwatchWidth_px = 24;

}  // namespace

// ImageView - The picture, at its natural size or scaled to fit
// ============================================================================

class ImageView final : public QWidget {
 public:
  using QWidget::QWidget;

  void setImage(const QImage& image, bool fit) {
    image_ = image;
    fit_ = fit;
    updateGeometry();
    update();
  }
  const QImage& image() const { return image_; }
  bool fits() const { return fit_; }
  QSize sizeHint() const override { return image_.size(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (image_.isNull()) return;
    QPainter painter(this);
    if (!fit_ || image_.size() == size()) {
      painter.drawImage(QPoint(0, 0), image_);
      return;
    }
    // Aspect kept, at the top left as the natural size is.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), image_.size().scaled(size(), Qt::KeepAspectRatio)),
                      image_);
  }

 private:
  QImage image_;
  bool fit_ = false;
};

// LegendView - The preview's colours and mirroring
// ============================================================================

class LegendView final : public QWidget {
 public:
  explicit LegendView(QWidget* parent) : QWidget(parent) { setFixedWidth(kLegendWidth_px); }

  void setLegend(const PreviewLegend* legend) {
    legend_ = legend;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!legend_) return;
    QPainter painter(this);
    const QFontMetrics metrics = painter.fontMetrics();
    const int line_px = metrics.height() + 4;
    const int textLeft = kLegendMargin_px + kSwatchWidth_px + 8;
    const int textWidth = width() - textLeft - kLegendMargin_px;
    int top = kLegendMargin_px;
    for (const PreviewLegend::Layer& layer : legend_->layers) {
      QRect swatch(kLegendMargin_px, top + 2, kSwatchWidth_px, line_px - 4);
      painter.fillRect(swatch, layer.color);
      painter.setPen(Qt::black);
      painter.drawRect(swatch);
      painter.drawText(QRect(textLeft, top, textWidth, line_px), Qt::AlignLeft | Qt::AlignVCenter,
                       metrics.elidedText(layer.name, Qt::ElideRight, textWidth));
      top += line_px;
    }
    top += line_px / 2;
    painter.drawText(QRect(kLegendMargin_px, top, width() - 2 * kLegendMargin_px, height() - top),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, legend_->mirror);
  }

 private:
  const PreviewLegend* legend_ = nullptr;
};

// PreviewWindow
// ============================================================================

PreviewWindow::PreviewWindow(QWidget* parent)
    : QDialog(parent),
      menu_(new QMenuBar(this)),
      area_(new QScrollArea(this)),
      image_(new ImageView(this)),
      legendView_(new LegendView(this)) {
  setWindowTitle(QStringLiteral("Preview exported data"));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  menu_->addAction(QStringLiteral("&Exit"), this, &QDialog::accept);
  layout->setMenuBar(menu_);
  area_->setWidget(image_);
  area_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  area_->setFrameShape(QFrame::NoFrame);
  area_->setBackgroundRole(QPalette::Window);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(area_, 1);
  row->addWidget(legendView_);
  row->addStretch(0);  // what a fitted picture leaves
  layout->addLayout(row);
  legendView_->hide();
}

void PreviewWindow::showImage(const QImage& image) {
  legend_ = PreviewLegend();
  legendView_->setLegend(nullptr);
  legendView_->hide();
  showModally(image, false);
}

void PreviewWindow::showPreview(const QImage& image, const PreviewLegend& legend, bool fit) {
  legend_ = legend;
  legendView_->setLegend(&legend_);
  legendView_->show();
  showModally(image, fit);
}

void PreviewWindow::showModally(const QImage& image, bool fit) {
  image_->setImage(image, fit);
  // Fitted, the picture follows the area; else it keeps its size and scrolls.
  area_->setWidgetResizable(fit);
  if (!fit) image_->resize(image.size());
  placePicture();
  area_->ensureVisible(0, 0);
  // Maximised; the geometry too, for desktops without a window manager.
  QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
  setGeometry(shown->availableGeometry());
  setWindowState(windowState() | Qt::WindowMaximized);
  exec();
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  placePicture();
}

void PreviewWindow::placePicture() {
  const QImage& image = image_->image();
  if (!image_->fits() || image.isNull()) {
    area_->setMaximumWidth(QWIDGETSIZE_MAX);
    return;
  }
  QSize room(width() - legendView_->width(), height() - menu_->height());
  area_->setMaximumWidth(std::max(image.size().scaled(room, Qt::KeepAspectRatio).width(), 1));
}

QSize PreviewWindow::imageAreaSize() const {
  QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
  QSize available = shown->availableGeometry().size();
  return {available.width(), available.height() - menu_->sizeHint().height()};
}

QSize PreviewWindow::previewAreaSize() const {
  QSize area = imageAreaSize();
  return {std::max(area.width() - kLegendWidth_px, 1), area.height()};
}

QImage PreviewWindow::shownImage() const {
  return image_->image();
}

void PreviewWindow::done(int result) {
  QDialog::done(result);
  image_->setImage(QImage(), false);
}

}  // namespace drumplot
