// SPDX-License-Identifier: MIT
// Running long work (reading a Gerber file, rendering) on a worker thread
// while the window keeps painting and its timers keep firing.
#pragma once

#include <QEventLoop>
#include <exception>
#include <optional>
#include <thread>
#include <type_traits>

namespace drumplot {

// Runs `work` on a worker thread and waits for it in a local event loop that
// serves everything but user input (clicks and keys wait in the queue until
// the work is done), then returns its result or rethrows its exception here.
// `work` must not touch anything the window thread uses meanwhile.
template <typename Work>
auto runInBackground(Work work) -> std::invoke_result_t<Work&> {
  using Result = std::invoke_result_t<Work&>;
  std::optional<Result> result;
  std::exception_ptr failure;
  QEventLoop loop;
  std::thread worker([&] {
    try {
      result.emplace(work());
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: it runs inside loop.exec(), even when posted before it starts.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

}  // namespace drumplot
