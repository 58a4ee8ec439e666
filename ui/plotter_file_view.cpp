// SPDX-License-Identifier: MIT
// The "Plotter file" window.
#include "ui/plotter_file_view.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRubberBand>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>

#include "output/fpf_file.h"
#include "ui/image_conversion.h"
#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

constexpr int kProgressInterval_ms = 100;
constexpr int kSidePanelWidth_px = 260;
constexpr uint32_t kSmallestWindow_px = 8;  // zoomed in so far, a film pixel fills the view
constexpr int kSmallestBand_px = 4;         // a shorter drag is a click

// The reduction at which `window` fits `view` pixels.
uint32_t reductionToFit(const FilmWindow& window, QSize view) {
  const auto fit = [](uint32_t film, int shown) {
    const uint32_t side = static_cast<uint32_t>(std::max(shown, 1));
    return (film + side - 1) / side;
  };
  return std::max({1u, fit(window.width(), view.width()), fit(window.height(), view.height())});
}

}  // namespace

// FilmView - The decoded picture, fitted, with wheel and rubber-band zoom
// ============================================================================

class FilmView final : public QWidget {
 public:
  explicit FilmView(PlotterFileView* owner) : QWidget(owner), owner_(owner) {
    setMinimumSize(400, 300);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }

  void setPicture(const QImage& image, const FilmWindow& window) {
    image_ = image;
    window_ = window;
    text_.clear();
    update();
  }
  void setText(const QString& text) {
    text_ = text;
    update();
  }
  // Where the picture lies in the view: fitted, aspect kept, centred.
  QRect pictureRect() const {
    if (window_.width() == 0) return {};
    QSize fitted = QSize(static_cast<int>(window_.width()), static_cast<int>(window_.height()))
                       .scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
  }
  // The film pixel at a point of the view.
  QPointF filmPoint(QPointF at) const {
    const QRect r = pictureRect();
    return {window_.x0 + (at.x() - r.x()) * window_.width() / std::max(r.width(), 1),
            window_.y0 + (at.y() - r.y()) * window_.height() / std::max(r.height(), 1)};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
    if (!text_.isEmpty()) {
      painter.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                       text_);
      return;
    }
    if (image_.isNull()) return;
    // Film pixels enlarged as blocks, never blurred.
    painter.drawImage(pictureRect(), image_);
  }
  void wheelEvent(QWheelEvent* event) override {
    if (image_.isNull() || event->angleDelta().y() == 0) return;
    const QPointF at = filmPoint(event->position());
    owner_->zoomAround(at.x(), at.y(), event->angleDelta().y() > 0 ? 2.0 : 0.5);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || image_.isNull()) return;
    origin_ = event->position().toPoint();
    if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, this);
    band_->setGeometry(QRect(origin_, QSize()));
    band_->show();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (band_ && band_->isVisible())
      band_->setGeometry(QRect(origin_, event->position().toPoint()).normalized());
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (!band_ || !band_->isVisible() || event->button() != Qt::LeftButton) return;
    band_->hide();
    const QRect dragged = band_->geometry().intersected(pictureRect());
    if (dragged.width() < kSmallestBand_px || dragged.height() < kSmallestBand_px) return;
    const QPointF a = filmPoint(dragged.topLeft()), b = filmPoint(dragged.bottomRight());
    const auto pixel = [](double v) { return static_cast<uint32_t>(std::max(0.0, v)); };
    owner_->showFilmWindow({pixel(std::floor(a.x())), pixel(std::floor(a.y())),
                            pixel(std::ceil(b.x())), pixel(std::ceil(b.y()))});
  }

 private:
  PlotterFileView* owner_;
  QImage image_;
  FilmWindow window_;
  QString text_;
  QRubberBand* band_ = nullptr;
  QPoint origin_;
};

// PlotterFileView - Set-up
// ============================================================================

PlotterFileView::PlotterFileView(const std::filesystem::path& file, uint64_t budgetBytes,
                                 QWidget* parent)
    : QDialog(parent), file_(file), budgetBytes_(budgetBytes) {
  setWindowTitle(QStringLiteral("Plotter file ") + QFileInfo(toQString(file.string())).fileName());
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  header_ = new QLabel(this);
  header_->setWordWrap(true);
  header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  thumbnail_ = new QLabel(this);
  preview_ = new QLabel(this);
  status_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  zoomIn_ = new QPushButton(QStringLiteral("+"), this);
  zoomOut_ = new QPushButton(QStringLiteral("-"), this);
  whole_ = new QPushButton(QStringLiteral("Whole film"), this);
  view_ = new FilmView(this);
  for (QPushButton* b : {zoomIn_, zoomOut_, whole_}) {
    b->setAutoDefault(false);
    b->setEnabled(false);
  }
  const auto zoomCentre = [this](double factor) {
    zoomAround((target_.x0 + target_.x1) / 2.0, (target_.y0 + target_.y1) / 2.0, factor);
  };
  connect(zoomIn_, &QPushButton::clicked, this, [zoomCentre] { zoomCentre(2.0); });
  connect(zoomOut_, &QPushButton::clicked, this, [zoomCentre] { zoomCentre(0.5); });
  connect(whole_, &QPushButton::clicked, this, &PlotterFileView::showWholeFilm);

  auto* side = new QVBoxLayout;
  side->addWidget(header_);
  side->addWidget(new QLabel(QStringLiteral("Thumbnail:"), this));
  side->addWidget(thumbnail_);
  side->addWidget(new QLabel(QStringLiteral("Preview:"), this));
  side->addWidget(preview_);
  side->addStretch();
  auto* tools = new QHBoxLayout;
  for (QPushButton* b : {zoomIn_, zoomOut_, whole_}) tools->addWidget(b);
  tools->addWidget(bar_);
  tools->addWidget(status_, 1);
  auto* main = new QVBoxLayout;
  main->addLayout(tools);
  main->addWidget(view_, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(side);
  layout->addLayout(main, 1);
  resize(1100, 750);

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &PlotterFileView::showProgress);
  timer->start(kProgressInterval_ms);

  try {
    showHeader(readFpf(file, false));
    reader_ = std::make_unique<FpfReader>(file);
  } catch (const std::exception& e) {
    fault_ = toQString(e.what());
    header_->setText(fault_);
    view_->setText(fault_);
    bar_->hide();
    return;
  }
  requested_ = target_ = wholeFilm();
  // Once the window is laid out: the whole film is reduced to the view's size.
  QTimer::singleShot(0, this, &PlotterFileView::startNext);
}

PlotterFileView::~PlotterFileView() {
  progress_.cancelled = true;
  if (worker_.joinable()) worker_.join();
}

void PlotterFileView::showHeader(const FpfContents& c) {
  const FpfHeader& h = c.header;
  const double dpi = std::max<uint32_t>(h.dpi, 1);
  header_->setText(
      QStringLiteral("%1\n%2 x %3 pixels\n%4 x %5 inches at %6 dpi\n%7 records of 4 rows (%8)\n"
                     "Notes: %9\nRows as the film is exposed: with the mirror off the drawing is "
                     "upside down.")
          .arg(QFileInfo(toQString(file_.string())).fileName())
          .arg(h.width)
          .arg(h.height)
          .arg(h.width / dpi, 0, 'f', 3)
          .arg(h.height / dpi, 0, 'f', 3)
          .arg(h.dpi)
          .arg((uint64_t{h.height} + 3) / 4)
          .arg(toQString(c.signature))
          .arg(toQString(h.notes)));
  thumbnail_->setPixmap(QPixmap::fromImage(toQImage(c.thumbnail)));
  preview_->setPixmap(QPixmap::fromImage(toQImage(c.preview).scaled(
      kSidePanelWidth_px, kSidePanelWidth_px, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

QWidget* PlotterFileView::filmView() const {
  return view_;
}

FilmWindow PlotterFileView::wholeFilm() const {
  return {0, 0, reader_->header().width, reader_->header().height};
}

// PlotterFileView - Zooming
// ============================================================================

void PlotterFileView::showFilmWindow(const FilmWindow& window) {
  if (!reader_) return;
  const FpfHeader& h = reader_->header();
  FilmWindow w{std::min(window.x0, h.width - 1), std::min(window.y0, h.height - 1),
               std::min(window.x1, h.width), std::min(window.y1, h.height)};
  w.x1 = std::max(w.x1, w.x0 + 1);
  w.y1 = std::max(w.y1, w.y0 + 1);
  requested_ = target_ = w;
  // A newer window replaces the one being decoded; the index is let finish.
  if (worker_.joinable() && indexed_) progress_.cancelled = true;
  startNext();
}

void PlotterFileView::showWholeFilm() {
  if (reader_) showFilmWindow(wholeFilm());
}

void PlotterFileView::zoomAround(double x, double y, double factor) {
  if (!reader_ || target_.width() == 0) return;
  const FpfHeader& h = reader_->header();
  const auto side = [factor](uint32_t shown, uint32_t film) {
    const double wanted = std::round(shown / factor);
    return static_cast<uint32_t>(
        std::clamp<double>(wanted, std::min(kSmallestWindow_px, film), film));
  };
  const uint32_t w = side(target_.width(), h.width), ht = side(target_.height(), h.height);
  const auto start = [](double centre, uint32_t length, uint32_t film) {
    return static_cast<uint32_t>(
        std::clamp<double>(std::round(centre - length / 2.0), 0, film - length));
  };
  const uint32_t x0 = start(x, w, h.width), y0 = start(y, ht, h.height);
  showFilmWindow({x0, y0, x0 + w, y0 + ht});
}

// PlotterFileView - Work off the window's thread
// ============================================================================

void PlotterFileView::startNext() {
  if (worker_.joinable() || !reader_ || !fault_.isEmpty()) return;
  if (requested_ && (indexed_ || !decodedOnce_)) {
    const FilmWindow window = *requested_;
    requested_.reset();
    const uint32_t reduce = reductionToFit(window, view_->size());
    FpfReader* reader = reader_.get();
    const uint64_t budget = budgetBytes_;
    startWork(QStringLiteral("Decoding"), [this, reader, window, reduce, budget] {
      Outcome outcome;
      outcome.window = window;
      outcome.reduce = reduce;
      outcome.picture = decodeFpfRegion(*reader, window, reduce, budget, &progress_);
      return outcome;
    });
    return;
  }
  if (!indexed_) {
    FpfReader* reader = reader_.get();
    startWork(QStringLiteral("Indexing rows"), [this, reader] {
      Outcome outcome;
      outcome.indexed = reader->buildIndex(&progress_);
      return outcome;
    });
  }
}

void PlotterFileView::startWork(const QString& what, std::function<Outcome()> work) {
  progress_.cancelled = false;
  progress_.fraction = 0.0;
  status_->setText(what);
  bar_->setValue(0);
  bar_->show();
  worker_ = std::thread([this, work = std::move(work)] {
    Outcome outcome;
    try {
      outcome = work();
    } catch (const std::exception& e) {
      outcome.fault = e.what();
    }
    // Queued to the window's thread; dropped when the window is gone.
    QMetaObject::invokeMethod(
        this, [this, o = std::move(outcome)]() mutable { finishWork(std::move(o)); },
        Qt::QueuedConnection);
  });
}

void PlotterFileView::finishWork(Outcome outcome) {
  worker_.join();
  bar_->hide();
  status_->clear();
  if (!outcome.fault.empty()) {
    // The reader stops at a damaged record and names it; nothing past it is
    // shown. Once the index has read the file through, the fault is the
    // picture's (its memory), and another window may still be shown.
    view_->setText(toQString(outcome.fault));
    if (!indexed_) {
      fault_ = toQString(outcome.fault);
      return;
    }
  }
  if (outcome.picture) {
    decodedOnce_ = true;
    picture_ = std::move(*outcome.picture);
    shown_ = outcome.window;
    shownReduce_ = outcome.reduce;
    view_->setPicture(toQImage(picture_), shown_);
  }
  if (outcome.indexed) {
    indexed_ = true;
    for (QPushButton* b : {zoomIn_, zoomOut_, whole_}) b->setEnabled(true);
  }
  if (shownReduce_ > 0) {
    status_->setText(QStringLiteral("Film pixels %1,%2 to %3,%4, reduced %5:1")
                         .arg(shown_.x0)
                         .arg(shown_.y0)
                         .arg(shown_.x1)
                         .arg(shown_.y1)
                         .arg(shownReduce_));
  }
  startNext();
}

void PlotterFileView::showProgress() {
  if (worker_.joinable()) bar_->setValue(static_cast<int>(progress_.fraction * 1000.0));
}

}  // namespace drumplot
