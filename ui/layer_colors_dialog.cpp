// SPDX-License-Identifier: MIT
// The layer names and colours dialog: a name field and a colour swatch per
// layer; a click on a swatch opens the system colour picker.
#include "ui/layer_colors_dialog.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

// ColorSwatch - A button filled with its colour
// ============================================================================

class ColorSwatch final : public QAbstractButton {
 public:
  explicit ColorSwatch(QWidget* parent) : QAbstractButton(parent) {}

  uint32_t color() const { return color_; }
  void setColor(uint32_t color) {
    color_ = color;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(color_));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }

 private:
  uint32_t color_ = 0;  // $00BBGGRR
};

// LayerColorsDialog - Layout
// ============================================================================

LayerColorsDialog::LayerColorsDialog(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setWindowTitle(QStringLiteral("Edit color & name layer"));
  // Row n (1..18) at top 20 x n: the name at left 20 (180 x 18), the swatch at left 220 (60 x 18).
  constexpr int kRowPitch = 20;
  for (size_t i = 0; i < names_.size(); ++i) {
    int top = kRowPitch * static_cast<int>(i + 1);
    names_[i] = new QLineEdit(this);
    names_[i]->setObjectName(QStringLiteral("Name%1").arg(i + 1));
    names_[i]->setGeometry(20, top, 180, 18);
    swatches_[i] = new ColorSwatch(this);
    swatches_[i]->setObjectName(QStringLiteral("Color%1").arg(i + 1));
    swatches_[i]->setGeometry(220, top, 60, 18);
    ColorSwatch* swatch = swatches_[i];
    connect(swatch, &QAbstractButton::clicked, this, [this, swatch] {
      if (auto chosen = prompts_.chooseColor(this, toQColor(swatch->color()))) {
        swatch->setColor(toBgr(*chosen));
      }
    });
  }
  // The buttons are placed by hand below the rows.
  int buttonsTop = kRowPitch * (kLayerCount + 1) + 10;
  auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
  ok->setDefault(true);
  ok->setGeometry(110, buttonsTop, 80, 26);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setGeometry(200, buttonsTop, 80, 26);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(300, buttonsTop + 40);
}

// LayerColorsDialog - Values
// ============================================================================

void LayerColorsDialog::load(const LayerLook& look) {
  for (size_t i = 0; i < names_.size(); ++i) {
    names_[i]->setText(toQString(look.names[i]));
    swatches_[i]->setColor(look.colors[i]);
  }
}

LayerLook LayerColorsDialog::result() const {
  LayerLook look;
  for (size_t i = 0; i < names_.size(); ++i) {
    look.names[i] = toStdString(names_[i]->text());
    look.colors[i] = swatches_[i]->color();
  }
  return look;
}

}  // namespace drumplot
