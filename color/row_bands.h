// Row work shared between the calling thread and one helper thread: the rows
// are cut into bands that either thread takes from a common counter. Every
// row's result depends on nothing another row writes, so the order does not
// change a byte.
#pragma once

#include <atomic>
#include <cstddef>

#include "cpu/second_thread.h"

namespace velta {

// How a shared pass over the rows ended: Failed when the helper failed, its
// bands perhaps half done.
enum class BandsEnd { Done, Cancelled, Failed };

// Runs work(begin, end, worker) on every band of `band` rows of [0, rows), on
// the calling thread (worker 0) and, when threads is 2, on a helper as well
// (worker 1; on the calling thread alone when no helper can be started). Only
// the calling thread asks cancelled(), before each band it takes; once it
// answers true no band starts. The helper is joined before this returns.

template <typename Work, typename Cancelled>
BandsEnd ForRowBands(std::size_t rows, std::size_t band, int threads, Cancelled&& cancelled, Work&& work) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  const auto takeBands = [&](bool asks, int worker) {
    for (;;) {
      if (asks && cancelled()) {
        stop.store(true, std::memory_order_relaxed);
        return false;
      }
      if (stop.load(std::memory_order_relaxed)) return true;
      const std::size_t begin = next.fetch_add(band, std::memory_order_relaxed);
      if (begin >= rows) return true;
      work(begin, begin + band < rows ? begin + band : rows, worker);
    }
  };
  const auto end = [](bool finished) { return finished ? BandsEnd::Done : BandsEnd::Cancelled; };
  SecondThread helper;
  // A helper that fails stops taking bands; the calling thread takes the rest.
  if (threads != 2 || rows <= band || !helper.Start([&] { takeBands(false, 1); })) return end(takeBands(true, 0));
  const bool finished = takeBands(true, 0);
  if (!helper.Join()) return BandsEnd::Failed;
  return end(finished);
}

}  // namespace velta
