#include "render/smear_control.h"

#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>

#include "cpu/second_thread.h"
#include "render/edge_fade.h"
#include "render/random_source.h"
#include "render/render_kernel.h"
#include "render/tone_tables.h"

namespace velta {
namespace {

// Every page reseeds the dither with this key, so equal pages print equally.
constexpr uint32_t PAGE_SEED[4] = {0x123, 0x234, 0x345, 0x456};

// Rows are prepared (dither drawn, bytes sharpened, tones looked up) in
// batches; with two threads one thread prepares while the other smears, and
// the batches go round a ring of a few slots.
constexpr std::size_t ROWS_PER_BATCH = 8;
constexpr std::size_t RING_SLOTS = 3;

// Two rows are smeared together in chunks of this many bytes, the second a
// chunk behind the first.
constexpr std::ptrdiff_t SMOOTHING_CHUNK = 192;

// The fade zone: the bytes of the first and last ten pixels of a row.
constexpr std::size_t FADE_BYTES = 30;

// Allocates n entries of T, or returns null when memory is short.
template <typename T>
std::unique_ptr<T[]> TryAllocate(std::size_t n) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[n == 0 ? 1 : n]);
}

// The prepared rows of one batch, row after row: the dither and the packed
// tone of every (sharpened) byte.
struct RowBatch {
  std::unique_ptr<uint16_t[]> tone;
  std::unique_ptr<uint16_t[]> dither;
};

// One page on its way from the page buffer to the send buffer.
class PageRender {
 public:
  // Takes the page, the send buffer and the job's choices; allocates nothing.
  PageRender(const uint8_t* page, std::size_t w, std::size_t h, const uint8_t* hotlut, uint8_t* send, int iPrintMode,
             int s, const RowKernels& kernels)
      : page_(page),
        w_(w),
        h_(h),
        rowBytes_(3 * w),
        stride_((3 * w + 3) & ~std::size_t{3}),
        send_(send),
        s_(s),
        k_(iPrintMode != 0 ? HIGH_QUALITY_CONSTANTS : NORMAL_CONSTANTS),
        kernels_(kernels) {
    for (std::size_t n = 0; n < 768; ++n) toneTable_[n] = PackTone(hotlut[n]);
  }

  // Allocates the histories and work rows for the given number of ring
  // slots; returns false when memory is short.
  bool Allocate(std::size_t slots) {
    MiddleHistory_ = TryAllocate<int32_t>(rowBytes_);
    LongHistory_ = TryAllocate<int32_t>(rowBytes_);
    for (std::size_t n = 0; n < 2; ++n) {
      smeared_[n] = TryAllocate<uint8_t>(rowBytes_);
    }
    sharpened_ = TryAllocate<uint8_t>(s_ > 0 ? rowBytes_ : 0);
    columnSums_ = TryAllocate<uint16_t>(s_ > 0 ? rowBytes_ : 0);
    byteWeights_ = TryAllocate<int16_t>(s_ > 0 ? rowBytes_ : 0);
    pixelWeights_ = TryAllocate<int16_t>(s_ > 0 ? w_ : 0);
    bool ok = MiddleHistory_ && LongHistory_ && sharpened_ && columnSums_ && byteWeights_ && pixelWeights_;
    for (std::size_t n = 0; n < 2; ++n) ok = ok && smeared_[n];
    for (std::size_t n = 0; n < slots && ok; ++n) {
      ring_[n].tone = TryAllocate<uint16_t>(ROWS_PER_BATCH * rowBytes_);
      ring_[n].dither = TryAllocate<uint16_t>(ROWS_PER_BATCH * rowBytes_);
      ok = ring_[n].tone && ring_[n].dither;
    }
    return ok;
  }

  // Returns the number of batches that hold rows 1 to h - 1.
  std::size_t BatchCount() const { return (h_ - 1 + ROWS_PER_BATCH - 1) / ROWS_PER_BATCH; }

  // Prints row 0 through the tone table alone: the head is cold, and every
  // history starts at 0 (smoothing zeros leaves zeros).
  void RenderFirstRow() {
    // The low byte of a packed tone is the energy itself.
    const uint8_t* row = page_;
    uint8_t* fromRed = send_ + 2 * w_ * h_;
    uint8_t* fromGreen = send_ + w_ * h_;
    uint8_t* fromBlue = send_;
    for (std::size_t p = 0; p < w_; ++p) {
      fromRed[p] = static_cast<uint8_t>(toneTable_[row[3 * p]]);
      fromGreen[p] = static_cast<uint8_t>(toneTable_[256 + row[3 * p + 1]]);
      fromBlue[p] = static_cast<uint8_t>(toneTable_[512 + row[3 * p + 2]]);
    }
    for (std::size_t i = 0; i < rowBytes_; ++i) MiddleHistory_[i] = LongHistory_[i] = 0;
  }

  // Prepares batch b into ring slot b mod slots: draws each row's dither in
  // row order when batches carry it, sharpens the row's bytes when
  // sharpening is on and looks up their tones.
  void PrepareBatch(std::size_t b, std::size_t slots) {
    const RowBatch& slot = ring_[b % slots];
    const SharpenScratch scratch{columnSums_.get(), byteWeights_.get(), pixelWeights_.get()};
    for (std::size_t n = 0; n < ROWS_PER_BATCH; ++n) {
      const std::size_t j = 1 + b * ROWS_PER_BATCH + n;
      if (j >= h_) break;
      genrand_dither_block(slot.dither.get() + n * rowBytes_, rowBytes_);
      const uint8_t* row = page_ + j * stride_;
      if (s_ > 0) {
        kernels_.sharpen(page_, stride_, j, h_, w_, s_, sharpened_.get(), scratch);
        row = sharpened_.get();
      }
      kernels_.tone(row, w_, toneTable_, slot.tone.get() + n * rowBytes_);
    }
    if (touchSendAhead_) TouchSendRows(1 + b * ROWS_PER_BATCH, 1 + (b + 1) * ROWS_PER_BATCH);
  }

  // Has the helper take the first-touch faults of the send buffer's fresh
  // memory, row batch by row batch, ahead of the thread that smears. Worth
  // it when the helper has time to spare: without sharpening its share of
  // the work is the smaller one.
  void TouchSendAhead(bool on) { touchSendAhead_ = on; }

  // Returns how many leading page rows batch b reads: sharpening looks two
  // rows down from each of its rows.
  std::size_t RowsReadBy(std::size_t b) const {
    const std::size_t end = 1 + (b + 1) * ROWS_PER_BATCH + (s_ > 0 ? 2 : 0);
    return end < h_ ? end : h_;
  }

  // Returns how many leading page rows no batch after b reads: sharpening
  // looks two rows up from the next batch's first row.
  std::size_t RowsDoneAfter(std::size_t b) const {
    const std::size_t next = 1 + (b + 1) * ROWS_PER_BATCH;
    return next >= h_ ? h_ : next - 2;
  }

  // Returns the first send row that neither thread has written, nor will
  // before batch b + 1 is smeared, when `ahead` batches may be prepared
  // beyond it (a prepared batch may have its send rows touched).
  std::size_t SendRowsUntouchedAfter(std::size_t b, std::size_t ahead) const {
    const std::size_t untouched = 1 + (b + 1 + ahead) * ROWS_PER_BATCH;
    return untouched < h_ ? untouched : h_;
  }

  // Smears the rows of batch b from ring slot b mod slots into the send
  // buffer, asking cancelled before each row; returns false when cancelled.
  bool SmearBatch(std::size_t b, std::size_t slots, const CancelCheck& cancelled) {
    const RowBatch& slot = ring_[b % slots];
    for (std::size_t n = 0; n < ROWS_PER_BATCH; n += 2) {
      const std::size_t j = 1 + b * ROWS_PER_BATCH + n;
      if (j >= h_) break;
      if (cancelled()) return false;
      const PreparedRow first{slot.tone.get() + n * rowBytes_, slot.dither.get() + n * rowBytes_};
      if (j + 1 >= h_) {
        SmearRows(j, first, nullptr);
        break;
      }
      if (cancelled()) {
        SmearRows(j, first, nullptr);
        return false;
      }
      const PreparedRow second{first.tone + rowBytes_, first.dither + rowBytes_};
      SmearRows(j, first, &second);
    }
    return true;
  }

 private:
  // Writes a byte into every memory page of rows first..last-1 of each of
  // the three planes, so those pages are in place before the smeared rows
  // are split into them. The bytes are set again when the rows are split.
  void TouchSendRows(std::size_t first, std::size_t last) {
    // 4 KiB on x86-64; 16 or 64 KiB on some ARM kernels.
    static const auto PAGE = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (last > h_) last = h_;
    for (std::size_t plane = 0; plane < 3; ++plane) {
      uint8_t* begin = send_ + plane * w_ * h_ + first * w_;
      uint8_t* end = send_ + plane * w_ * h_ + last * w_;
      for (uint8_t* byte = begin; byte < end; byte += PAGE - reinterpret_cast<uintptr_t>(byte) % PAGE) *byte = 0;
    }
  }

  // The packed tones and the dither of a row, ready to smear.
  struct PreparedRow {
    const uint16_t* tone;
    const uint16_t* dither;
  };

  // Smears row j and, when second is given, row j + 1 with it: every byte
  // against its column's history, the row ends faded, the histories smoothed
  // across the row, the three channels to their planes.
  //
  // Along a row the smoothing is a chain, each entry waiting for the one
  // three before, so one row alone leaves the processor idle between steps. Two
  // rows go along together, the second a chunk behind the first: a byte of
  // the second row needs its column's history as the first row leaves it,
  // final once the first row's chain has passed it, and the first row still
  // reads its own history entries up to three beyond its chain. Chunk k
  // smears bytes [kC, kC + C) of the first row and smooths its entries
  // [kC - 3, kC + C - 3), then smears bytes [kC - C - 3, kC - 3) of the
  // second row and smooths its entries [kC - C - 6, kC - 6); the two chains
  // run interleaved.
  void SmearRows(std::size_t j, const PreparedRow& first, const PreparedRow* second) {
    const auto E = static_cast<std::ptrdiff_t>(rowBytes_);
    constexpr std::ptrdiff_t C = SMOOTHING_CHUNK;
    // The smoothed entries: 4 to 3w - 4.
    constexpr std::ptrdiff_t FIRST_SMOOTHED = 4;
    const std::ptrdiff_t END_SMOOTHED = E - 3;
    SmoothingChain chains[2] = {{{}, {}, false}, {{}, {}, false}};
    const auto clip = [](std::ptrdiff_t from, std::ptrdiff_t to, std::ptrdiff_t low, std::ptrdiff_t high) {
      const std::ptrdiff_t begin = from > low ? from : low, end = to < high ? to : high;
      return std::pair<std::size_t, std::size_t>{static_cast<std::size_t>(begin),
                                                 static_cast<std::size_t>(end > begin ? end : begin)};
    };
    for (std::ptrdiff_t k = 0; (k - 1) * C - 6 < E; ++k) {
      const auto [smearBegin, smearEnd] = clip(k * C, k * C + C, 0, E);
      SmearBytes(first, smeared_[0].get(), smearBegin, smearEnd);
      const auto [chainBegin, chainEnd] = clip(k * C - 3, k * C + C - 3, FIRST_SMOOTHED, END_SMOOTHED);
      std::pair<std::size_t, std::size_t> secondChain{0, 0};
      if (second != nullptr) {
        const auto [begin, end] = clip(k * C - C - 3, k * C - 3, 0, E);
        SmearBytes(*second, smeared_[1].get(), begin, end);
        secondChain = clip(k * C - C - 6, k * C - 6, FIRST_SMOOTHED, END_SMOOTHED);
      }
      kernels_.chains(MiddleHistory_.get(), LongHistory_.get(), k_.MWideWeight, chains[0], chainBegin, chainEnd,
                      second != nullptr ? &chains[1] : nullptr, secondChain.first, secondChain.second);
    }
    SplitToPlanes(j, smeared_[0].get());
    if (second != nullptr) SplitToPlanes(j + 1, smeared_[1].get());
  }

  // Smears bytes begin..end-1 of a row into out: the bytes in the fade zones
  // one by one, the others vectorised.
  void SmearBytes(const PreparedRow& row, uint8_t* out, std::size_t begin, std::size_t end) {
    const std::size_t leftEnd = rowBytes_ < FADE_BYTES ? rowBytes_ : FADE_BYTES;
    const std::size_t rightBegin = rowBytes_ >= FADE_BYTES ? rowBytes_ - FADE_BYTES + 1 : 0;
    const std::size_t middleEnd = rightBegin > leftEnd ? rightBegin : leftEnd;
    std::size_t i = begin;
    for (; i < end && i < leftEnd; ++i) SmearFadedByte(i, row.tone, row.dither, out);
    const std::size_t vectorEnd = end < middleEnd ? end : middleEnd;
    if (i < vectorEnd) {
      kernels_.smear(row.tone, row.dither, MiddleHistory_.get(), LongHistory_.get(), out, i, vectorEnd, k_);
      i = vectorEnd;
    }
    for (; i < end; ++i) SmearFadedByte(i, row.tone, row.dither, out);
  }

  // Spreads the smeared bytes of row j over the planes: plane 0 is printed
  // from blue, plane 1 from green, plane 2 from red.
  void SplitToPlanes(std::size_t j, const uint8_t* smeared) {
    kernels_.split(smeared, w_, send_ + 2 * w_ * h_ + w_ * j, send_ + w_ * h_ + w_ * j, send_ + w_ * j);
  }

  // Smears byte i of a row in a fade zone; the fade's double arithmetic
  // runs here, in plain scalar code.
  void SmearFadedByte(std::size_t i, const uint16_t* tone, const uint16_t* dither, uint8_t* out) {
    const ByteStep step = SmearByte(tone[i], dither[i], MiddleHistory_[i], LongHistory_[i], k_);
    MiddleHistory_[i] = step.MiddleHistory;
    LongHistory_[i] = step.LongHistory;
    const int Temp = FadeRowEnds(step.Temp, i, w_);
    out[i] = static_cast<uint8_t>(Temp < 0 ? 0 : Temp);
  }

  const uint8_t* page_;
  std::size_t w_, h_, rowBytes_, stride_;
  uint8_t* send_;
  int s_;
  bool touchSendAhead_ = false;
  SmearConstants k_;
  const RowKernels& kernels_;
  uint16_t toneTable_[768];
  // One entry per byte of a row: the heat each head position carries down
  // the page, in 1/1024 of an energy step.
  std::unique_ptr<int32_t[]> MiddleHistory_, LongHistory_;
  std::unique_ptr<uint8_t[]> smeared_[2], sharpened_;
  std::unique_ptr<uint16_t[]> columnSums_;
  std::unique_ptr<int16_t[]> byteWeights_, pixelWeights_;
  RowBatch ring_[RING_SLOTS];
};

// Renders batches first.. on the calling thread alone, batch after batch;
// returns false when cancelled.
bool RenderOnOneThread(PageRender& render, std::size_t first, const CancelCheck& cancelled,
                       const PageRowsDone& rowsDone) {
  for (std::size_t b = first; b < render.BatchCount(); ++b) {
    render.PrepareBatch(b, 1);
    if (!render.SmearBatch(b, 1, cancelled)) return false;
    rowsDone(render.RowsDoneAfter(b), render.SendRowsUntouchedAfter(b, 0));
  }
  return true;
}

// How a render on two threads ended.
enum class TwoThreadsEnd { Done, Cancelled, HelperFailed };

// Renders batches first.. with a helper thread that prepares batches ahead of
// the calling thread, which smears them and alone asks cancelled. The helper
// is joined before this returns, cancelled, failed or not; a helper that
// fails wakes the calling thread from its wait. When no helper can be had the
// calling thread renders alone.
TwoThreadsEnd RenderOnTwoThreads(PageRender& render, std::size_t first, const CancelCheck& cancelled,
                                 const PageRowsDone& rowsDone) {
  const std::size_t batches = render.BatchCount();
  constexpr std::size_t kHelperGone = SIZE_MAX;  // in prepared: no more batches will come
  std::atomic<std::size_t> prepared{first}, smeared{first};
  std::atomic<bool> stop{false};
  SecondThread helper;
  const bool started = helper.Start(
      [&] {
        for (std::size_t b = first; b < batches; ++b) {
          // Wait for the slot: batch b reuses the slot of batch b - RING_SLOTS.
          for (std::size_t done = smeared.load(std::memory_order_acquire); b >= done + RING_SLOTS;
               done = smeared.load(std::memory_order_acquire)) {
            smeared.wait(done, std::memory_order_acquire);
          }
          if (stop.load(std::memory_order_acquire)) return;
          render.PrepareBatch(b, RING_SLOTS);
          prepared.store(b + 1, std::memory_order_release);
          prepared.notify_one();
        }
      },
      [&] {
        prepared.store(kHelperGone, std::memory_order_release);
        prepared.notify_one();
      });
  if (!started)
    return RenderOnOneThread(render, first, cancelled, rowsDone) ? TwoThreadsEnd::Done : TwoThreadsEnd::Cancelled;
  bool finished = true, helperGone = false;
  for (std::size_t b = first; b < batches && finished && !helperGone; ++b) {
    std::size_t ready = prepared.load(std::memory_order_acquire);
    for (; ready <= b; ready = prepared.load(std::memory_order_acquire))
      prepared.wait(ready, std::memory_order_acquire);
    if (ready == kHelperGone) {
      helperGone = true;
      break;
    }
    finished = render.SmearBatch(b, RING_SLOTS, cancelled);
    if (!finished) {
      // Release the helper from any wait and let it see the stop.
      stop.store(true, std::memory_order_release);
      smeared.store(batches + RING_SLOTS, std::memory_order_release);
    } else {
      smeared.store(b + 1, std::memory_order_release);
    }
    smeared.notify_one();
    // Batch b is prepared, so the helper reads no row before the next
    // batch's; it may prepare up to RING_SLOTS batches past b before the
    // next batch is smeared.
    if (finished) rowsDone(render.RowsDoneAfter(b), render.SendRowsUntouchedAfter(b, RING_SLOTS));
  }
  if (!helper.Join() || helperGone) return TwoThreadsEnd::HelperFailed;
  return finished ? TwoThreadsEnd::Done : TwoThreadsEnd::Cancelled;
}

}  // namespace

int GetSmearlut(uint8_t* hotlut, int iPrintMode) {
  const std::array<uint8_t, 768>& table = iPrintMode != 0 ? Zorv_K40_HighQuality : Zorv_K40_Normal;
  // The built-in blocks are in plane order (blue first); hotlut is indexed
  // by source channel (red first), so the blocks go in reverse.
  for (std::size_t k = 0; k < 3; ++k) {
    for (std::size_t v = 0; v < 256; ++v) hotlut[256 * (2 - k) + v] = table[256 * k + v];
  }
  return 1;
}

int SharpnessIndex(int16_t caSharpness) { return caSharpness >= -3 && caSharpness <= 4 ? caSharpness + 4 : 0; }

struct SmearControlByRows::State {
  State(const uint8_t* page, uint32_t w, uint32_t h, const uint8_t* toneCurve, uint8_t* send, int iPrintMode,
        int16_t caSharpness, const CpuVariant& chosen)
      : variant(chosen),
        render(page, w, h, toneCurve, send, iPrintMode, SharpnessIndex(caSharpness), KernelsFor(chosen.isa)) {}

  CpuVariant variant;
  PageRender render;
  bool twoThreads = false;
  bool firstRowDone = false;
  std::size_t nextBatch = 0;  // the first batch not rendered yet

  void RenderFirstRowOnce() {
    if (!firstRowDone) render.RenderFirstRow();
    firstRowDone = true;
  }
};

SmearControlByRows::SmearControlByRows(const uint8_t* pSrcBitmap, uint32_t biWidth, uint32_t biHeight,
                                       const uint8_t* lpToneCurve, uint8_t* pSendData, int iPrintMode,
                                       int16_t caSharpness, const PageRowsDone& rowsDone)
    : rowsDone_(rowsDone), sharpening_(SharpnessIndex(caSharpness) != 0) {
  if (biWidth == 0 || biHeight == 0) return;
  state_ = std::make_unique<State>(pSrcBitmap, biWidth, biHeight, lpToneCurve, pSendData, iPrintMode, caSharpness,
                                   CurrentVariant());
}

SmearControlByRows::~SmearControlByRows() = default;

int SmearControlByRows::Start() {
  init_by_array(PAGE_SEED, 4);
  if (!state_) return 0;
  state_->twoThreads = state_->variant.threads == 2 && state_->render.BatchCount() > 1;
  state_->render.TouchSendAhead(state_->twoThreads && !sharpening_);
  return state_->render.Allocate(state_->twoThreads ? RING_SLOTS : 1) ? 0 : -1;
}

void SmearControlByRows::RowsFinal(std::size_t rows) {
  if (rows > finalRows_) finalRows_ = rows;
}

bool SmearControlByRows::WorkAhead() {
  if (!state_ || finalRows_ == 0) return false;
  State& s = *state_;
  if (s.nextBatch >= s.render.BatchCount() || s.render.RowsReadBy(s.nextBatch) > finalRows_) return false;
  s.RenderFirstRowOnce();
  s.render.PrepareBatch(s.nextBatch, 1);
  s.render.SmearBatch(s.nextBatch, 1, CancelCheck{});
  rowsDone_(s.render.RowsDoneAfter(s.nextBatch), s.render.SendRowsUntouchedAfter(s.nextBatch, 0));
  ++s.nextBatch;
  return true;
}

int SmearControlByRows::Finish(const CancelCheck& cancelled) {
  if (!state_) return 0;
  State& s = *state_;
  if (cancelled()) return 1;
  s.RenderFirstRowOnce();
  TwoThreadsEnd end = TwoThreadsEnd::Done;
  if (s.twoThreads) {
    end = RenderOnTwoThreads(s.render, s.nextBatch, cancelled, rowsDone_);
  } else if (!RenderOnOneThread(s.render, s.nextBatch, cancelled, rowsDone_)) {
    end = TwoThreadsEnd::Cancelled;
  }
  s.nextBatch = s.render.BatchCount();
  return end == TwoThreadsEnd::Done ? 0 : end == TwoThreadsEnd::Cancelled ? 1 : -2;
}

int SmearControl(const uint8_t* pSrcBitmap, uint32_t biWidth, uint32_t biHeight, const uint8_t* lpToneCurve,
                 uint8_t* pSendData, int iPrintMode, int16_t caSharpness, const CancelCheck& cancelled,
                 const PageRowsDone& rowsDone) {
  SmearControlByRows parts(pSrcBitmap, biWidth, biHeight, lpToneCurve, pSendData, iPrintMode, caSharpness, rowsDone);
  if (parts.Start() < 0) return -1;
  return parts.Finish(cancelled);
}

}  // namespace velta
