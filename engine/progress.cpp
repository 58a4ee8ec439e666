// SPDX-License-Identifier: MIT
#include "engine/progress.h"

namespace drumplot {

void Progress::report(Phase p, int64_t at, int64_t of, double part) {
  phase = p;
  step = at;
  steps = of;
  fraction = part;
  if (onChange) onChange(*this);
}

}  // namespace drumplot
