// SPDX-License-Identifier: MIT
// PreviewWindow ("Preview exported data"): a maximised window that shows one
// image at its natural size at the top left (the export's overview, the
// preview, the drill overview), with the one menu item "&Exit".
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QMenuBar;
class QScrollArea;

namespace drumplot {

class PreviewWindow final : public QDialog {
 public:
  explicit PreviewWindow(QWidget* parent = nullptr);

  // Shows `image` maximised and modally; closing the window lets it go.
  void showImage(const QImage& image);
  // The client area the window has for its image when maximised.
  QSize imageAreaSize() const;
  // The image shown while the window is open (null once it has closed).
  QImage shownImage() const;

 protected:
  void done(int result) override;

 private:
  QMenuBar* menu_;
  QScrollArea* area_;
  QLabel* image_;
  QImage shown_;
};

}  // namespace drumplot
