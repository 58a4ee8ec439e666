// SPDX-License-Identifier: MIT
// Fuzz target: job file records. Decoding any bytes must give boards whose
// texts fit their fields, and a decoded job must encode to a stable form that
// the job-file check takes as a job file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "job/job_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto boards = drumplot::decodeJob(bytes);
  if (boards.size() != size / drumplot::kBoardRecordSize) std::abort();
  for (const drumplot::Board& b : boards) {
    if (!b.Locked || b.Selected || b.MarkName.size() > drumplot::kMaxMarkChars) std::abort();
    for (const std::string& file : b.LayerGerber) {
      if (file.size() > drumplot::kMaxFileNameChars) std::abort();
    }
  }
  std::string once = drumplot::encodeJob(boards);
  if (once.size() != boards.size() * drumplot::kBoardRecordSize) std::abort();
  if (drumplot::encodeJob(drumplot::decodeJob(once)) != once) std::abort();
  // What passes the check is every whole record plus at most a cut-off one.
  if (!drumplot::notAJobFile(bytes) && bytes.size() % drumplot::kBoardRecordSize != 0 &&
      bytes.size() < drumplot::kBoardRecordSize) {
    std::abort();
  }
  // Boards written from what passed the check pass it again.
  if (!drumplot::notAJobFile(bytes) && drumplot::notAJobFile(once)) std::abort();
  // The writer refuses what the reader took only for a position beyond 1000 inch.
  if (!drumplot::notAJobFile(bytes)) {
    for (const std::string& problem : drumplot::unwritableValues(boards)) {
      if (problem.find(" is outside -1000 .. 1000 inch") == std::string::npos) std::abort();
    }
  }
  return 0;
}
