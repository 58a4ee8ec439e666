// SPDX-License-Identifier: MIT
// PlotterFileView ("Plotter file"): a window of its own for one plotter
// file. It shows the header, the preview and the thumbnail at once, then
// the film reduced to the view's size; once the rows' index is built (with
// a progress bar) the operator zooms into any part of the film, down to
// single pixels. The film is decoded on a worker thread, a picture no
// larger than the view at a time; closing the window stops the work.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/progress.h"
#include "output/fpf_reader.h"
#include "output/mono_image.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace drumplot {

class FilmView;

class PlotterFileView final : public QDialog {
 public:
  // Reads the file's header, preview and thumbnail (or shows why it cannot)
  // and starts decoding the whole film within `budgetBytes`.
  PlotterFileView(const std::filesystem::path& file, uint64_t budgetBytes,
                  QWidget* parent = nullptr);
  ~PlotterFileView() override;

  // Zooming: the film's pixels of `window` (clamped to the film) decoded at
  // the reduction that fits the view; a later request replaces an earlier
  // one. Until the index is built only the whole film is decoded.
  void showFilmWindow(const FilmWindow& window);
  void showWholeFilm();
  // Zooms by `factor` (2: in, 0.5: out) around the film pixel (x, y).
  void zoomAround(double x, double y, double factor);

  // What the window shows, for the tests.
  bool indexed() const { return indexed_; }
  // Nothing more to do until the operator asks: the film shown (or its
  // fault), the index built, no window waiting.
  bool idle() const {
    return !worker_.joinable() && (!fault_.isEmpty() || (indexed_ && !requested_));
  }
  const FilmWindow& shownWindow() const { return shown_; }
  uint32_t shownReduction() const { return shownReduce_; }
  const MonoImage& picture() const { return picture_; }
  QString fault() const { return fault_; }  // the file's fault shown instead of the picture
  QWidget* filmView() const;                // the film's picture, fitted

 private:
  struct Outcome {
    std::optional<MonoImage> picture;  // none: no decoding, or cancelled
    FilmWindow window;
    uint32_t reduce = 1;
    bool indexed = false;
    std::string fault;
  };

  void showHeader(const FpfContents& contents);
  FilmWindow wholeFilm() const;
  // Starts the requested decoding, else the index, when no work runs.
  void startNext();
  void startWork(const QString& what, std::function<Outcome()> work);
  void finishWork(Outcome outcome);
  void showProgress();

  std::filesystem::path file_;
  uint64_t budgetBytes_;
  std::unique_ptr<FpfReader> reader_;  // used by one work at a time
  Progress progress_;
  std::thread worker_;
  std::optional<FilmWindow> requested_;
  bool indexed_ = false;
  bool decodedOnce_ = false;  // the whole film was read through once
  FilmWindow shown_;
  FilmWindow target_;  // the window last asked for: zooming goes on from it
  uint32_t shownReduce_ = 0;
  MonoImage picture_;
  QString fault_;

  QLabel* header_;
  QLabel* thumbnail_;
  QLabel* preview_;
  QLabel* status_;
  QProgressBar* bar_;
  QPushButton* zoomIn_;
  QPushButton* zoomOut_;
  QPushButton* whole_;
  FilmView* view_;
};

}  // namespace drumplot
