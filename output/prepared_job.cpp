// SPDX-License-Identifier: MIT
// The layer files of a job read once, and measured once per resolution.
#include "output/prepared_job.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "engine/rounding.h"
#include "io/file_io.h"
#include "output/display_list.h"

namespace drumplot {

namespace {

// Tallies what a source's primitives would take in a recording, by the
// buckets of rows they begin and end in, and the spans and pixels they draw. The tallies are kept
// as they come, never the primitives: a file of a billion flashes costs its buckets only. Buckets
// start at 64 rows and double (neighbours merged) while there would be more than kMaxBuckets of
// them.
class RecordingBytes final : public CanvasRecorder {
 public:
  // Rows arrive in the file's frame plus 2^29; `dataMinRow` is the data
  // origin's row in it (without the 2^29).
  explicit RecordingBytes(int64_t dataMinRow) : shift_((int64_t{1} << 29) + dataMinRow) {}
  void record(const CanvasOp& op) override {
    const int64_t y0 = op.bounds.y0 - shift_, y1 = op.bounds.y1 - shift_;
    const uint64_t bytes = DisplayList::bytesFor(op);
    add(begin_, y0, bytes);
    add(end_, std::max(y0, y1 - 1), bytes);
    const auto rows = static_cast<double>(op.bounds.height());
    spans_ += rows;
    pixels_ += rows * static_cast<double>(op.bounds.width());
  }
  void settle(SourceMeasure& measure) const {
    measure.firstRow = first_;
    measure.bucketRows = bucketRows_;
    measure.beginBytes = begin_;
    measure.endBytes = end_;
    measure.spans = spans_;
    measure.pixels = pixels_;
  }

 private:
  static constexpr size_t kMaxBuckets = size_t{1} << 16;

  void add(std::vector<uint64_t>& tally, int64_t row, uint64_t bytes) {
    if (begin_.empty()) first_ = floorTo(row, bucketRows_);
    if (row < first_) {
      // Room below, at least as much again as there is, so that growing
      // downwards row by row costs no more than growing upwards.
      const int64_t wanted = (first_ - floorTo(row, bucketRows_)) / bucketRows_;
      const auto more =
          static_cast<size_t>(std::max<int64_t>(wanted, static_cast<int64_t>(begin_.size())));
      begin_.insert(begin_.begin(), more, 0);
      end_.insert(end_.begin(), more, 0);
      first_ -= static_cast<int64_t>(more) * bucketRows_;
    }
    const auto k = static_cast<size_t>((row - first_) / bucketRows_);
    if (k >= begin_.size()) {
      begin_.resize(k + 1, 0);
      end_.resize(k + 1, 0);
    }
    tally[k] += bytes;
    while (begin_.size() > kMaxBuckets) mergeBuckets();
  }
  // Buckets twice as tall: each new one holds two neighbours.
  void mergeBuckets() {
    if (floorTo(first_, 2 * bucketRows_) != first_) {
      begin_.insert(begin_.begin(), 0);
      end_.insert(end_.begin(), 0);
      first_ -= bucketRows_;
    }
    for (std::vector<uint64_t>* v : {&begin_, &end_}) {
      for (size_t k = 0; k < v->size(); k += 2) {
        (*v)[k / 2] = (*v)[k] + (k + 1 < v->size() ? (*v)[k + 1] : 0);
      }
      v->resize((v->size() + 1) / 2);
    }
    bucketRows_ *= 2;
  }
  static int64_t floorTo(int64_t row, int64_t step) {
    const int64_t q = row / step;
    return (q * step > row ? q - 1 : q) * step;
  }

  int64_t shift_;
  int64_t bucketRows_ = 64;
  int64_t first_ = 0;  // the first row of bucket 0
  std::vector<uint64_t> begin_, end_;
  double spans_ = 0.0, pixels_ = 0.0;
};

bool sameDrawing(const InterpreterSettings& a, const InterpreterSettings& b) {
  return a.holeDiameter_mils == b.holeDiameter_mils && a.noHoleDCodes == b.noHoleDCodes &&
         a.lineWidthAdjust_mils == b.lineWidthAdjust_mils;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// One source: its file as read, and what it draws at each resolution.
struct PreparedJob::Entry {
  LayerSource source;  // what identifies it (no renderer)
  std::mutex mutex;    // guards the rest
  FileStamp gerberStamp, apertureStamp;
  bool read = false;
  std::shared_ptr<LayerRenderer> renderer;
  std::exception_ptr failure;  // why it cannot be read
  LayerReach dataExtents;
  double seconds = 0.0;
  struct Measured {
    double dpi = 0.0;
    AxisScale scale;
    InterpreterSettings settings;
    std::shared_ptr<const SourceMeasure> measure;
  };
  std::vector<Measured> measures;
};

PreparedJob::PreparedJob(uint64_t budgetBytes)
    : budgetBytes_(budgetBytes), stamps_(std::make_shared<StampCache>(budgetBytes / 4)) {}

PreparedJob::~PreparedJob() = default;

PreparedJob::Entry& PreparedJob::entry(const LayerSource& source) {
  std::lock_guard lock(mutex_);
  for (const auto& e : entries_) {
    if (sameSource(e->source, source)) return *e;
  }
  auto e = std::make_unique<Entry>();
  e->source = source;
  e->source.renderer.reset();
  e->source.measured.reset();
  entries_.push_back(std::move(e));
  return *entries_.back();
}

std::shared_ptr<LayerRenderer> PreparedJob::open(const LayerSource& source) {
  Entry& e = entry(source);
  std::lock_guard lock(e.mutex);
  const FileStamp gerber = fileStamp(source.gerberFile);
  const FileStamp apertures =
      source.apertureFile.empty() ? FileStamp{} : fileStamp(source.apertureFile);
  if (!e.read || gerber != e.gerberStamp || apertures != e.apertureStamp) {
    const auto start = std::chrono::steady_clock::now();
    e.renderer.reset();
    e.failure = nullptr;
    e.dataExtents = {};
    e.measures.clear();
    e.gerberStamp = gerber;
    e.apertureStamp = apertures;
    e.read = true;
    try {
      LayerOpening opening = boardLayerOpening(source);
      opening.stamps = stamps_.get();
      opening.maxOperations = UINT64_MAX;
      opening.maxTextBytes = budgetBytes_;
      opening.afterPrescan = [&e](const GerberReader& r) {
        if (r.program.hasDrawing) e.dataExtents = {r.MinX, r.MinY, r.MaxX, r.MaxY, false};
      };
      std::unique_ptr<LayerRenderer> renderer = openLayer(opening);
      // The drawing needs only the decoded operations.
      renderer->reader().Statements = StatementList();
      e.renderer = std::move(renderer);
    } catch (...) {
      e.failure = std::current_exception();
    }
    e.seconds = secondsSince(start);
  }
  if (e.failure) std::rethrow_exception(e.failure);
  return e.renderer;
}

LayerReach PreparedJob::dataExtents(const LayerSource& source) {
  Entry& e = entry(source);
  std::lock_guard lock(e.mutex);
  return e.dataExtents;
}

std::shared_ptr<const SourceMeasure> PreparedJob::measure(const LayerSource& source, double dpi,
                                                          const InterpreterSettings& settings,
                                                          const AxisScale& scale) {
  const std::shared_ptr<LayerRenderer> renderer = open(source);
  Entry& e = entry(source);
  std::lock_guard lock(e.mutex);
  for (const Entry::Measured& m : e.measures) {
    if (m.dpi == dpi && m.scale == scale && sameDrawing(m.settings, settings)) return m.measure;
  }
  const auto start = std::chrono::steady_clock::now();
  auto measure = std::make_shared<SourceMeasure>();
  RecordingBytes bytes(roundHalfEven(source.dataMinY * (dpi * scale.y)));
  measure->reach = measureReach(renderer->reader(), renderer->shapes(dpi * scale.mean()), settings,
                                &bytes, scale);
  bytes.settle(*measure);
  if (settings.cancelled && *settings.cancelled) return measure;  // cut short: not kept
  e.seconds += secondsSince(start);
  // A few resolutions are kept: an operator goes back and forth between two.
  constexpr size_t kMeasuresKept = 4;
  if (e.measures.size() == kMeasuresKept) e.measures.erase(e.measures.begin());
  e.measures.push_back({dpi, scale, settings, measure});
  e.measures.back().settings.cancelled = nullptr;
  return measure;
}

template <typename T, typename Of>
T PreparedJob::sum(Of of) const {
  std::lock_guard lock(mutex_);
  T total = 0;
  for (const auto& e : entries_) {
    std::lock_guard entryLock(e->mutex);
    total += of(*e);
  }
  return total;
}

uint64_t PreparedJob::decodedBytes() const {
  return sum<uint64_t>([](const Entry& e) -> uint64_t {
    return e.renderer ? e.renderer->reader().program.decodedBytes() : 0;
  });
}

double PreparedJob::readSeconds() const {
  return sum<double>([](const Entry& e) { return e.seconds; });
}

}  // namespace drumplot
