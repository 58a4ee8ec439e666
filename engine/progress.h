// SPDX-License-Identifier: MIT
// Progress: how far long work has come (an output, a preview, one layer's
// drawing), and the way to stop it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace drumplot {

// Readable from any thread while the work runs. Setting `cancelled` (from
// any thread, or a signal handler) stops the work at its next check: an
// output then writes nothing, and an older file of its name stays.
struct Progress {
  enum class Phase : int { Reading, Drawing, Done };
  std::atomic<Phase> phase{Phase::Reading};
  std::atomic<int64_t> step{0};   // Reading: layers read; Drawing: the band being written (from 1)
  std::atomic<int64_t> steps{0};  // Reading: layers to read; Drawing: bands
  // Of the phase, 0 to 1; while one layer is drawn alone (a preview), of
  // that layer's statements.
  std::atomic<double> fraction{0.0};
  std::atomic<bool> busy{false};  // a layer is being drawn
  std::atomic<bool> cancelled{false};
  // Called after each step, one call at a time, on one of the work's threads.
  std::function<void(const Progress&)> onChange;
  // Called with each layer file before it is read (a preview or a print).
  std::function<void(const std::string& gerberFile)> layerStarted;

  void report(Phase p, int64_t at, int64_t of, double part);
};

}  // namespace drumplot
