// Reduction: exact area averaging of the picture onto the centre of a white page.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <optional>

#include "color/resize.h"
#include "color/resize_geometry.h"
#include "color/row_bands.h"
#include "color/resize_kernels.h"
#include "color/row_reduction_blocks.h"

namespace velta {
namespace {

// One stretch that a target pixel shares with a source pixel, in common units.
struct OverlapRun {
  uint32_t source;  // source pixel (column or row)
  uint32_t units;   // length of the shared stretch
};

// For a line of sourceSize pixels shrunk to targetSize (at most sourceSize), the
// overlaps of every target pixel with the source pixels. Both lines are cut into
// L = lcm(sourceSize, targetSize) equal units, so every overlap is a whole number.
class OverlapTable {
 public:
  // Computes the runs; false when their memory cannot be taken.
  bool Build(int32_t sourceSize, int32_t targetSize) {
    const int64_t L = CalcLCM(sourceSize, targetSize);
    const int64_t sourceUnits = L / sourceSize;
    targetUnits_ = L / targetSize;
    // Every run ends at a source or a target boundary: fewer than both counts together.
    runs_.reset(new (std::nothrow) OverlapRun[static_cast<size_t>(sourceSize) + targetSize]);
    first_.reset(new (std::nothrow) size_t[static_cast<size_t>(targetSize) + 1]);
    if (!runs_ || !first_) return false;
    size_t count = 0;
    for (int64_t j = 0; j < targetSize; ++j) {
      first_[j] = count;
      for (int64_t l = 0; l < targetUnits_;) {
        const int64_t u = j * targetUnits_ + l;
        const int64_t num = std::min(targetUnits_ - l, sourceUnits - u % sourceUnits);
        runs_[count++] = {static_cast<uint32_t>(u / sourceUnits), static_cast<uint32_t>(num)};
        l += num;
      }
    }
    first_[targetSize] = count;
    return true;
  }
  // First run of target pixel j; its runs end where those of j + 1 begin.
  const OverlapRun* begin(int64_t j) const { return runs_.get() + first_[j]; }
  const OverlapRun* end(int64_t j) const { return runs_.get() + first_[j + 1]; }
  // Units per target pixel: the divisor that turns a weighted sum into an average.
  int64_t targetUnits() const { return targetUnits_; }
  // Tells whether every target pixel overlaps at most two source pixels, as
  // in any reduction to half the size or more.
  bool AtMostTwoRuns(int64_t targetSize) const {
    for (int64_t j = 0; j < targetSize; ++j)
      if (first_[j + 1] - first_[j] > 2) return false;
    return true;
  }

 private:
  std::unique_ptr<OverlapRun[]> runs_;
  std::unique_ptr<size_t[]> first_;
  int64_t targetUnits_ = 1;
};

// The mean of a sum of overlapped bytes: sum div units, at most 255. No
// weighted sum of bytes exceeds 255 x units; for the unit counts of ordinary
// pages (up to 4096) the quotient is a multiplication by ceil(2^32 / units)
// and a shift, checked here against the division for every sum that can
// occur. Larger unit counts, or a failed check, divide.
class ExactQuotients {
 public:
  explicit ExactQuotients(int64_t units) : units_(units) {
    if (units_ > kMaxMultipliedUnits) return;
    const auto divisor = static_cast<uint64_t>(units_);
    const uint64_t multiplier = ((uint64_t{1} << 32) + divisor - 1) / divisor;
    for (uint64_t sum = 0; sum <= 255 * divisor; ++sum) {
      if ((sum * multiplier) >> 32 != sum / divisor) return;
    }
    multiplier_ = multiplier;
  }
  // Tells whether the quotients come from the multiplication, for sums below 2^32.
  bool multiplied() const { return multiplier_ != 0; }
  // Returns sum div units, held to 255.
  uint8_t operator()(int64_t sum) const {
    if (multiplier_ != 0) return static_cast<uint8_t>((static_cast<uint64_t>(sum) * multiplier_) >> 32);
    return static_cast<uint8_t>(std::min<int64_t>(sum / units_, 255));
  }
  // The multiplier of a multiplied pass.
  uint64_t multiplier() const { return multiplier_; }

 private:
  static constexpr int64_t kMaxMultipliedUnits = 4096;
  int64_t units_;
  uint64_t multiplier_ = 0;
};

}  // namespace

int64_t CalcLCM(int64_t a, int64_t b) {
  if (a <= 0 || b <= 0) return 0;
  // The same multiple as adding the smaller number until the larger divides the sum,
  // reached through the greatest common divisor in a handful of steps.
  const int64_t g = std::gcd(a, b);
  if (a / g > std::numeric_limits<int64_t>::max() / b) return 0;
  return a / g * b;
}

// The state of one reduction between its phases.
struct PictureReduction::Work {
  uint8_t* page;
  int32_t width, height;
  int64_t tarWidth, tarHeight;
  size_t stride, targetRow;
  OverlapTable columns, rows;
  std::optional<ExactQuotients> columnMean, rowMean;
  // Work rows for each of the two threads: a reduced row before it is put in
  // place, and one row of vertical sums for a multiplied vertical pass.
  std::unique_ptr<uint8_t[]> workRows;
  std::unique_ptr<uint32_t[]> sumRows;
  std::unique_ptr<PairOverlap[]> pairs;
  RowReductionBlocks blocks;  // the leading bytes of each row, where they work here
  // The rows read after something overwrote them, saved before the vertical
  // pass: each row's slot in saved, or -1.
  std::unique_ptr<int32_t[]> savedSlot;
  std::unique_ptr<uint8_t[]> saved;
  size_t split = 0;  // the first reduced row of the lower group
  // The vertical pass's progress: the next reduced row of the lower group, the
  // upper group's rows still to do ([0, upperLeft), from the top one down),
  // the leading page rows whose planned copies are taken, and the rows that
  // must be final before the upper group may start.
  size_t nextLower = 0, upperLeft = 0, savedUpTo = 0, upperNeeds = 0;

  // Takes the tables and rows; false when memory is short.
  bool Prepare() {
    targetRow = 3 * static_cast<size_t>(tarWidth);
    if (!columns.Build(width, static_cast<int32_t>(tarWidth)) || !rows.Build(height, static_cast<int32_t>(tarHeight)))
      return false;
    columnMean.emplace(columns.targetUnits());
    rowMean.emplace(rows.targetUnits());
    workRows.reset(new (std::nothrow) uint8_t[2 * targetRow]);
    sumRows.reset(new (std::nothrow) uint32_t[rowMean->multiplied() ? 2 * targetRow : 1]);
    if (!workRows || !sumRows) return false;
    // The usual reductions overlap at most two pixels per target pixel and go
    // through a loop without branches.
    if (columnMean->multiplied() && columns.AtMostTwoRuns(tarWidth)) {
      pairs.reset(new (std::nothrow) PairOverlap[static_cast<size_t>(tarWidth)]);
      if (!pairs) return false;
      for (int64_t j = 0; j < tarWidth; ++j) {
        const OverlapRun* run = columns.begin(j);
        const bool two = columns.end(j) - run == 2;
        pairs[j] = {{run[0].source, two ? run[1].source : run[0].source}, {run[0].units, two ? run[1].units : 0}};
      }
      blocks.Build(pairs.get(), static_cast<size_t>(width), static_cast<size_t>(tarWidth),
                   static_cast<uint32_t>(columns.targetUnits()));
    }
    return PlanDown();
  }

  // Horizontal pass, in place: each row becomes tarWidth averages of
  // overlapped pixels at its own start.
  void ReduceRowsAcross(size_t first, size_t last, int worker) {
    uint8_t* reduced = workRows.get() + static_cast<size_t>(worker) * targetRow;
    for (size_t y = first; y < last; ++y) {
      uint8_t* row = page + y * stride;
      if (pairs) {
        ReduceRowByBlocksAndPairs(row, reduced);
      } else {
        for (int64_t j = 0; j < tarWidth; ++j) {
          int64_t tmp_r = 0, tmp_g = 0, tmp_b = 0;
          for (const OverlapRun* run = columns.begin(j); run != columns.end(j); ++run) {
            const uint8_t* pixel = row + 3 * static_cast<size_t>(run->source);
            tmp_r += int64_t{run->units} * pixel[0];
            tmp_g += int64_t{run->units} * pixel[1];
            tmp_b += int64_t{run->units} * pixel[2];
          }
          reduced[3 * j + 0] = (*columnMean)(tmp_r);
          reduced[3 * j + 1] = (*columnMean)(tmp_g);
          reduced[3 * j + 2] = (*columnMean)(tmp_b);
        }
      }
      std::memcpy(row, reduced, targetRow);
    }
  }

  // Reduces one row across through the blocks, then the pixel pairs.
  void ReduceRowByBlocksAndPairs(const uint8_t* row, uint8_t* reduced) const {
    if (blocks.bytes() != 0) blocks.Reduce(row, reduced);
    const uint64_t multiplier = columnMean->multiplier();
    size_t k = blocks.bytes();
    // The blocks may end inside a pixel.
    for (; k < targetRow && k % 3 != 0; ++k) reduced[k] = PairMean(row, pairs[k / 3], k % 3, multiplier);
    ActiveResizeKernels().reduceRowByPairs(row, pairs.get() + k / 3, (targetRow - k) / 3, multiplier, reduced + k);
  }

  // Plans the vertical pass, in place: reduced row t goes to page row
  // firstRow + t, each half of the offset truncated on its own, from the row
  // starts of the rows it overlaps. Below the centre a reduced row lands
  // above every row the later ones read, so those go from the top down; above
  // it, below every row the earlier ones read, so those go from the bottom up.
  // Each group only overwrites rows its own later work no longer reads; the
  // few rows the other group overwrites (the two may run at once), or that a
  // group reads after overwriting them, are saved first. False when memory is
  // short.
  bool PlanDown() {
    const auto pageHeight = static_cast<size_t>(height);
    const auto targetRows = static_cast<size_t>(tarHeight);
    savedSlot.reset(new (std::nothrow) int32_t[pageHeight]);
    if (!savedSlot) return false;
    split = 0;
    while (split < targetRows && destination(split) > rows.begin(static_cast<int64_t>(split))->source) ++split;
    const auto writer = [&](size_t r) -> int64_t {  // the reduced row that overwrites row r, or -1
      return r >= firstRow() && r < destination(targetRows) ? static_cast<int64_t>(r - firstRow()) : -1;
    };
    const auto overwrittenFirst = [&](size_t source, size_t t) {
      const int64_t u = writer(source);
      if (u < 0 || static_cast<size_t>(u) == t) return false;
      const auto uu = static_cast<size_t>(u);
      if ((uu < split) != (t < split)) return true;
      return t < split ? uu > t : uu < t;
    };
    size_t savedRows = 0;
    std::fill(savedSlot.get(), savedSlot.get() + pageHeight, -1);
    for (size_t t = 0; t < targetRows; ++t) {
      for (const OverlapRun* run = rows.begin(static_cast<int64_t>(t)); run != rows.end(static_cast<int64_t>(t));
           ++run) {
        if (savedSlot[run->source] < 0 && overwrittenFirst(run->source, t))
          savedSlot[run->source] = static_cast<int32_t>(savedRows++);
      }
    }
    saved.reset(new (std::nothrow) uint8_t[std::max<size_t>(savedRows, 1) * targetRow]);
    nextLower = upperLeft = split;
    // The upper rows read up to the centre and land just below it.
    upperNeeds = split == 0 ? 0 : std::max(RowsReadBy(split - 1), destination(split - 1) + 1);
    return saved != nullptr;
  }

  // Returns how many leading page rows reduced row t reads.
  size_t RowsReadBy(size_t t) const { return size_t{(rows.end(static_cast<int64_t>(t)) - 1)->source} + 1; }

  // Copies the planned rows among page rows [begin, end), reduced across.
  void SaveRows(size_t begin, size_t end) {
    for (size_t r = begin; r < end; ++r) {
      if (savedSlot[r] >= 0)
        std::memcpy(saved.get() + static_cast<size_t>(savedSlot[r]) * targetRow, page + r * stride, targetRow);
    }
    savedUpTo = std::max(savedUpTo, end);
  }

  // Returns page row r as the vertical pass reads it: its copy when saved.
  const uint8_t* ReducedRow(size_t r) const {
    if (savedSlot[r] >= 0) return saved.get() + static_cast<size_t>(savedSlot[r]) * targetRow;
    return page + r * stride;
  }

  // Averages reduced row t down into the worker's row, then puts it in place.
  void ReduceRowDown(size_t t, int worker);

  size_t firstRow() const { return static_cast<size_t>(height / 2 - tarHeight / 2); }
  size_t firstColumn() const { return static_cast<size_t>(width / 2 - tarWidth / 2); }
  size_t destination(size_t t) const { return firstRow() + t; }

  // Vertical pass and white surround; false when the helper failed.
  bool ReduceDown(int threads);
};

void PictureReduction::Work::ReduceRowDown(size_t t, int worker) {
  uint8_t* reduced = workRows.get() + static_cast<size_t>(worker) * targetRow;
  const OverlapRun* first = rows.begin(static_cast<int64_t>(t));
  const OverlapRun* last = rows.end(static_cast<int64_t>(t));
  if (rowMean->multiplied()) {
    // The sums stay below 255 x 4096 + 1 and fit 32 bits.
    uint32_t* sums = sumRows.get() + static_cast<size_t>(worker) * targetRow;
    std::fill(sums, sums + targetRow, 0u);
    const ResizeKernels& kernels = ActiveResizeKernels();
    for (const OverlapRun* run = first; run != last; ++run)
      kernels.addWeighted(ReducedRow(run->source), run->units, targetRow, sums);
    kernels.meansOf(sums, targetRow, rowMean->multiplier(), reduced);
  } else {
    for (size_t byte = 0; byte < targetRow; ++byte) {
      int64_t sum = 0;
      for (const OverlapRun* run = first; run != last; ++run)
        sum += int64_t{run->units} * ReducedRow(run->source)[byte];
      reduced[byte] = (*rowMean)(sum);
    }
  }
  std::memcpy(page + destination(t) * stride + 3 * firstColumn(), reduced, targetRow);
}

bool PictureReduction::Work::ReduceDown(int threads) {
  const auto pageHeight = static_cast<size_t>(height);
  const auto targetRows = static_cast<size_t>(tarHeight);
  SaveRows(savedUpTo, pageHeight);
  // The rest of the two groups as two bands, the lower one first: on one
  // thread the rows it overwrites near the centre are then gone before the
  // upper group reads them, unless saved.
  const BandsEnd groups = ForRowBands(
      2, 1, threads, [] { return false; },
      [&](size_t group, size_t, int worker) {
        if (group == 0) {
          for (; nextLower < targetRows; ++nextLower) ReduceRowDown(nextLower, worker);
        } else {
          while (upperLeft > 0) ReduceRowDown(--upperLeft, worker);
        }
      });

  // Everything around the reduced picture turns white: the rows above and
  // below it, and the columns (and pad bytes) beside it.
  std::memset(page, 255, firstRow() * stride);
  std::memset(page + destination(targetRows) * stride, 255, (pageHeight - destination(targetRows)) * stride);
  const size_t rightStart = 3 * firstColumn() + targetRow;
  for (size_t t = 0; t < targetRows; ++t) {
    uint8_t* row = page + destination(t) * stride;
    std::memset(row, 255, 3 * firstColumn());
    std::memset(row + rightStart, 255, stride - rightStart);
  }
  return groups != BandsEnd::Failed;
}

PictureReduction::PictureReduction(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                                   int32_t iMagnificationY) {
  if (biWidth <= 0 || biHeight <= 0) return;
  const int32_t magnificationX = ReductionUsed(iMagnificationX);
  const int32_t magnificationY = ReductionUsed(iMagnificationY);
  if (magnificationX == 0 && magnificationY == 0) return;

  // A factor of at most 1 keeps each scaled size within the page's own size.
  work_.reset(new (std::nothrow) Work{});
  if (!work_) {
    kind_ = Kind::OutOfMemory;
    return;
  }
  work_->page = pSrcBitmap;
  work_->width = biWidth;
  work_->height = biHeight;
  work_->tarWidth = ScaledSize(magnificationX, biWidth);
  work_->tarHeight = ScaledSize(magnificationY, biHeight);
  work_->stride = RowStride(biWidth);
  if (work_->tarWidth <= 0 || work_->tarHeight <= 0) {
    // Shrunk to nothing (magnification -100 or below, or a picture too small for
    // the factor): the page is left white.
    kind_ = Kind::White;
    return;
  }
  kind_ = work_->Prepare() ? Kind::Reduce : Kind::OutOfMemory;
}

PictureReduction::~PictureReduction() = default;

void PictureReduction::RowsFinal(size_t rows) {
  if (kind_ != Kind::Reduce || rows <= finalRows_) return;
  // The rows come one thread at a time, so they use the second work row and
  // leave the first to the thread that finishes alongside.
  work_->ReduceRowsAcross(finalRows_, rows, 1);
  work_->SaveRows(finalRows_, rows);
  finalRows_ = rows;
}

bool PictureReduction::WorkAhead() {
  if (kind_ != Kind::Reduce) return false;
  Work& w = *work_;
  const auto targetRows = static_cast<size_t>(w.tarHeight);
  size_t done = 0;
  for (; done < kResizeRowsPerStep; ++done) {
    if (w.nextLower < targetRows && w.RowsReadBy(w.nextLower) <= finalRows_) {
      w.ReduceRowDown(w.nextLower++, 1);
    } else if (w.upperLeft > 0 && w.upperNeeds <= finalRows_) {
      w.ReduceRowDown(--w.upperLeft, 1);
    } else {
      break;
    }
  }
  return done > 0;
}

size_t PictureReduction::RowsDone() const {
  if (kind_ == Kind::Nothing) return finalRows_;
  return finished_ ? static_cast<size_t>(work_->height) : 0;
}

void PictureReduction::RowsRewritten() {
  if (kind_ == Kind::Reduce) work_->SaveRows(0, finalRows_);
}

int PictureReduction::Finish(int threads) {
  switch (kind_) {
    case Kind::Nothing:
      break;
    case Kind::White:
      std::memset(work_->page, 255, work_->stride * static_cast<size_t>(work_->height));
      break;
    case Kind::Reduce: {
      // The rows not yet reduced across, in bands on both threads.
      const size_t first = finalRows_;
      const BandsEnd across = ForRowBands(
          static_cast<size_t>(work_->height) - first, 64, threads, [] { return false; },
          [&](size_t begin, size_t end, int worker) { work_->ReduceRowsAcross(first + begin, first + end, worker); });
      if (across == BandsEnd::Failed || !work_->ReduceDown(threads)) return kHelperFailed;
      break;
    }
    case Kind::OutOfMemory:
      return -1;
  }
  finished_ = true;
  return 0;
}

int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                         int32_t iMagnificationY, int threads) {
  return PictureReduction(pSrcBitmap, biWidth, biHeight, iMagnificationX, iMagnificationY).Finish(threads);
}

}  // namespace velta
