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

// Runs `work` on a worker thread while `wait` runs here (an event loop or a
// dialog, which keep the window painting); the worker calls `stop` when the
// work is done, which must end `wait` even when called before it starts.
// Returns the work's result or rethrows its exception here.
template <typename Work, typename Wait, typename Stop>
auto runOnWorker(Work& work, Wait wait, Stop stop) -> std::invoke_result_t<Work&> {
  using Result = std::invoke_result_t<Work&>;
  std::optional<Result> result;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      result.emplace(work());
    } catch (...) {
      failure = std::current_exception();
    }
    stop();
  });
  wait();
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

// Runs `work` on a worker thread and waits for it in a local event loop that
// serves everything but user input (clicks and keys wait in the queue until
// the work is done), then returns its result or rethrows its exception here.
// `work` must not touch anything the window thread uses meanwhile.
template <typename Work>
auto runInBackground(Work work) -> std::invoke_result_t<Work&> {
  QEventLoop loop;
  return runOnWorker(
      work, [&loop] { loop.exec(QEventLoop::ExcludeUserInputEvents); },
      // Queued: it runs inside loop.exec(), even when posted before it starts.
      [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
}

}  // namespace drumplot
