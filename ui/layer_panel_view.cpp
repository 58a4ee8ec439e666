// SPDX-License-Identifier: MIT
// The layer rows and the active-layer combo box.
#include "ui/layer_panel_view.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

// Window positions, as offsets from the client area's right edge.
constexpr int kGerberFromRight_px = 200;
constexpr int kApertureFromRight_px = 100;
constexpr int kComboFromRight_px = 30;
constexpr int kComboLabelGap_px = 20;
constexpr int kHeadingsTop_px = 90;
constexpr int kRowPitch_px = 22;  // row n at top 90 + 22 x n
constexpr int kCellWidth_px = 80;
constexpr int kRowHeight_px = 18;
constexpr int kComboTop_px = 50;
// The name column ends 2 pixels before the Gerber cells. It is 48 pixels wide
// (from client width - 250) unless a name needs more, up to a limit beyond
// which names are cut (their hint holds all of them).
constexpr int kNameGap_px = 2;
constexpr int kMinNameColumn_px = 48;
constexpr int kMaxNameColumn_px = 240;
constexpr int kNameMargin_px = 10;  // left of the names

// A file cell: white, showing the end of the path (the file's name) when
// the whole path does not fit; the hint holds all of it.
class FileCell final : public QLabel {
 public:
  explicit FileCell(QWidget* parent) : QLabel(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QRect inside = rect().adjusted(2, 0, -2, 0);
    painter.drawText(inside, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideLeft, inside.width()));
  }
};

}  // namespace

// LayerPanelView - Layout
// ============================================================================

LayerPanelView::LayerPanelView(QWidget* parent)
    : QWidget(parent), nameColumn_px_(kMinNameColumn_px) {
  QFont headingFont(QStringLiteral("Arial"));
  headingFont.setPixelSize(16);
  headingFont.setBold(true);
  gerberHeading_ = new QLabel(QStringLiteral("Gerber"), this);
  apertureHeading_ = new QLabel(QStringLiteral("Aperture"), this);
  for (QLabel* heading : {gerberHeading_, apertureHeading_}) heading->setFont(headingFont);

  QPalette redText = palette();
  redText.setColor(QPalette::WindowText, Qt::red);
  for (size_t i = 0; i < names_.size(); ++i) {
    names_[i] = new QLabel(this);
    names_[i]->setPalette(redText);
    gerber_[i] = new FileCell(this);
    aperture_[i] = new FileCell(this);
  }

  combo_ = new QComboBox(this);
  combo_->setToolTip(QStringLiteral("Name active layer"));
  comboLabel_ = new QLabel(QStringLiteral("Active layer"), this);
  connect(combo_, &QComboBox::currentIndexChanged, this,
          [this](int index) { emit activeLayerChanged(index + 1); });
  setMinimumHeight(kHeadingsTop_px + kRowPitch_px * (kLayerCount + 1) + kRowHeight_px);
  placeRows();
  placeCombo();
}

int LayerPanelView::width_px() const {
  return kGerberFromRight_px + kNameGap_px + nameColumn_px_ + kNameMargin_px;
}

// Everything keeps its distance from the right edge.
void LayerPanelView::placeRows() {
  auto fromRight = [this](int offset_px) { return width() - offset_px; };
  gerberHeading_->adjustSize();
  apertureHeading_->adjustSize();
  gerberHeading_->move(fromRight(kGerberFromRight_px), kHeadingsTop_px);
  apertureHeading_->move(fromRight(kApertureFromRight_px), kHeadingsTop_px);
  const int nameLeft = fromRight(kGerberFromRight_px) - kNameGap_px - nameColumn_px_;
  for (size_t i = 0; i < names_.size(); ++i) {
    int top = kHeadingsTop_px + kRowPitch_px * static_cast<int>(i + 1);
    names_[i]->setGeometry(nameLeft, top, nameColumn_px_, kRowHeight_px);
    gerber_[i]->setGeometry(fromRight(kGerberFromRight_px), top, kCellWidth_px, kRowHeight_px);
    aperture_[i]->setGeometry(fromRight(kApertureFromRight_px), top, kCellWidth_px, kRowHeight_px);
  }
}

void LayerPanelView::placeCombo() {
  combo_->adjustSize();
  comboLabel_->adjustSize();
  int comboLeft = width() - combo_->width() - kComboFromRight_px;
  combo_->move(comboLeft, kComboTop_px);
  comboLabel_->move(comboLeft - kComboLabelGap_px - comboLabel_->width(),
                    kComboTop_px + (combo_->height() - comboLabel_->height()) / 2);
}

void LayerPanelView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeRows();
  placeCombo();
}

// LayerPanelView - Contents
// ============================================================================

void LayerPanelView::setNames(const std::array<std::string, kLayerCount>& names) {
  int index = std::max(combo_->currentIndex(), 0);
  int widest_px = kMinNameColumn_px;
  {
    QSignalBlocker quiet(combo_);
    combo_->clear();
    for (size_t i = 0; i < names.size(); ++i) {
      QString name = toQString(names[i]);
      combo_->addItem(name);
      widest_px = std::max(widest_px, names_[i]->fontMetrics().horizontalAdvance(name));
      // A name past the limit is cut at its end; the hint holds all of it.
      names_[i]->setText(
          names_[i]->fontMetrics().elidedText(name, Qt::ElideRight, kMaxNameColumn_px));
      names_[i]->setToolTip(name);
    }
    combo_->setCurrentIndex(index);
  }
  nameColumn_px_ = std::min(widest_px, kMaxNameColumn_px);
  placeRows();
  placeCombo();
  emit widthChanged();
}

void LayerPanelView::showFiles(const LayerPanel& panel) {
  for (size_t i = 0; i < gerber_.size(); ++i) {
    QString gerber = toQString(panel.gerber[i]);
    QString aperture = toQString(panel.aperture[i]);
    gerber_[i]->setText(gerber);
    gerber_[i]->setToolTip(gerber);
    aperture_[i]->setText(aperture);
    aperture_[i]->setToolTip(aperture);
  }
}

int LayerPanelView::activeLayer() const {
  return std::max(combo_->currentIndex(), 0) + 1;
}

void LayerPanelView::setActiveLayer(int layer) {
  combo_->setCurrentIndex(layer - 1);
}

}  // namespace drumplot
