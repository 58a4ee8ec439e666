// SPDX-License-Identifier: MIT
// PreviewWindow ("Preview exported data"): a maximised window that shows one
// image (the export's overview, the drill overview) at its natural size at
// the top left, with the one menu item "&Exit". The job's preview also has a
// legend (the layers' colours and whether the picture is mirrored), and at
// "fit page" its picture is scaled to the space left of the legend (aspect
// kept), also when the window changes size, the legend right beside it.
#pragma once

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QString>
#include <vector>

class QMenuBar;
class QScrollArea;

namespace drumplot {

class ImageView;
class LegendView;

// What the preview's colours mean.
struct PreviewLegend {
  struct Layer {
    QColor color;
    QString name;  // "1 Top_copper"
  };
  std::vector<Layer> layers;
  QString mirror;  // "Mirror horizontal: on" or off, and what that means
};

class PreviewWindow final : public QDialog {
 public:
  explicit PreviewWindow(QWidget* parent = nullptr);

  // Shows `image` maximised and modally; closing the window lets it go.
  void showImage(const QImage& image);
  // The job's preview with its legend; `fit`: scaled to the window.
  void showPreview(const QImage& image, const PreviewLegend& legend, bool fit);
  // The client area the window has for its image when maximised.
  QSize imageAreaSize() const;
  // The same beside the preview's legend.
  QSize previewAreaSize() const;
  // The image shown while the window is open (null once it has closed).
  QImage shownImage() const;
  const PreviewLegend& legend() const { return legend_; }

 protected:
  void done(int result) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void showModally(const QImage& image, bool fit);
  // A fitted picture's area is as wide as the picture, the legend beside it.
  void placePicture();

  QMenuBar* menu_;
  QScrollArea* area_;
  ImageView* image_;
  LegendView* legendView_;
  PreviewLegend legend_;
};

}  // namespace drumplot
