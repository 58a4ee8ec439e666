// SPDX-License-Identifier: MIT
// PreparedJob: the layer files of a job read and decoded once for every
// output drawn from them (the check, the plan, the films, the preview),
// and what each draws measured once per resolution. A file is read again
// only when it changed on disk.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/aperture_stamp.h"
#include "engine/interpreter.h"
#include "engine/layer_renderer.h"
#include "output/job_raster.h"

namespace drumplot {

class PreparedJob {
 public:
  // Stamps are kept within a quarter of `budgetBytes`, and a file whose
  // statement texts would pass it is refused.
  explicit PreparedJob(uint64_t budgetBytes);
  ~PreparedJob();
  PreparedJob(const PreparedJob&) = delete;
  PreparedJob& operator=(const PreparedJob&) = delete;

  // The source's file read, decoded and ready to draw at any resolution:
  // kept from an earlier call while its Gerber and aperture files are
  // unchanged (size, modification time, inode), else read now. Throws
  // IoError or FormatError naming the file as openLayer does (a failure is
  // kept too, until the file changes). Every operation count is accepted:
  // a drawing judges it with refuseUndrawable(). Thread-safe.
  std::shared_ptr<LayerRenderer> open(const LayerSource& source);
  // The pre-scanned data's extents (inches, the file's own frame before
  // its origin is moved); empty when the file draws nothing. After open().
  LayerReach dataExtents(const LayerSource& source);
  // What the opened source draws at `dpi` stretched by `scale` with
  // `settings`; measured on the first call (unless settings.cancelled
  // stopped it). Thread-safe.
  std::shared_ptr<const SourceMeasure> measure(const LayerSource& source, double dpi,
                                               const InterpreterSettings& settings,
                                               const AxisScale& scale = {});

  // The stamps every source's shapes share.
  const std::shared_ptr<StampCache>& stamps() const { return stamps_; }
  uint64_t budgetBytes() const { return budgetBytes_; }
  // What the decoded operations of every source held now take.
  uint64_t decodedBytes() const;
  // Seconds spent reading and measuring the sources held now.
  double readSeconds() const;

 private:
  struct Entry;
  Entry& entry(const LayerSource& source);
  // `of` summed over the entries.
  template <typename T, typename Of>
  T sum(Of of) const;

  uint64_t budgetBytes_;
  std::shared_ptr<StampCache> stamps_;
  mutable std::mutex mutex_;  // guards entries_ (each entry has its own)
  std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace drumplot
