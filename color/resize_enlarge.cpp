// Enlargement: bilinear interpolation of the picture, keeping the centre window of
// the enlarged picture at the page's own size.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "color/byte_pair_blocks.h"
#include "color/resize.h"
#include "color/resize_geometry.h"
#include "color/resize_kernels.h"
#include "color/row_bands.h"

namespace velta {

namespace {

#if VELTA_BYTE_PAIR_BLOCKS
typedef int16_t SignedPairWords __attribute__((vector_size(2 * PAIR_BLOCK_BYTES)));

// The same for the leading bytes of a row, a block of 32 at a time.
VELTA_AVX512_TARGET
void ExpandRowInBlocks(const uint8_t* row, const BytePairBlock* blocks, size_t count, uint8_t* left, int16_t* across) {
  for (size_t b = 0; b < count; ++b) {
    PairWords here, next;
    PickBytePairs(row, blocks[b], here, next);
    const PairBytes bytes = __builtin_convertvector(here, PairBytes);
    const SignedPairWords step = (SignedPairWords)next - (SignedPairWords)here;
    std::memcpy(left + b * PAIR_BLOCK_BYTES, &bytes, sizeof bytes);
    std::memcpy(across + b * PAIR_BLOCK_BYTES, &step, sizeof step);
  }
}
#endif

// Where every output row samples its source row across: the two source
// pixels of each output pixel, and the blocks that expand the leading bytes.
struct RowExpansion {
  std::unique_ptr<uint32_t[]> leftPixel, rightPixel;
  std::unique_ptr<BytePairBlock[]> blocks;
  size_t pixels = 0, blockCount = 0;

  // Plans the blocks once the pixels are set; without memory for them every
  // byte goes one by one.
  void PlanBlocks() {
    const size_t bytes = 3 * pixels;
    if (!BytePairBlocksAvailable() || bytes < PAIR_BLOCK_BYTES) return;
    blocks.reset(new (std::nothrow) BytePairBlock[bytes / PAIR_BLOCK_BYTES]);
    if (!blocks) return;
    const uint32_t* lefts = leftPixel.get();
    const uint32_t* rights = rightPixel.get();
    blockCount = PlanBytePairBlocks(
        bytes, bytes, [lefts](size_t k) { return size_t{lefts[k / 3]} + k % 3; },
        [rights](size_t k) { return size_t{rights[k / 3]} + k % 3; }, blocks.get());
  }

  // Expands a source row into left and across.
  void Expand(const uint8_t* row, uint8_t* left, int16_t* across) const {
    size_t k = 0;
#if VELTA_BYTE_PAIR_BLOCKS
    if (blockCount != 0) ExpandRowInBlocks(row, blocks.get(), blockCount, left, across);
    k = blockCount * PAIR_BLOCK_BYTES;
#endif
    // The blocks may end inside a pixel.
    for (; k < 3 * pixels && k % 3 != 0; ++k) {
      left[k] = row[leftPixel[k / 3] + k % 3];
      across[k] = static_cast<int16_t>(row[rightPixel[k / 3] + k % 3] - left[k]);
    }
    ActiveResizeKernels().expandRow(row, leftPixel.get() + k / 3, rightPixel.get() + k / 3, pixels - k / 3, left + k,
                                    across + k);
  }
};

// The last two source rows a group expanded: the rows of one output row are
// mostly the rows of the one before, so each source row is expanded about
// once rather than twice.
class ExpandedRows {
 public:
  // Allocates room for rows of `bytes` output bytes; false when memory is short.
  bool Allocate(size_t bytes) {
    bytes_ = bytes;
    for (Slot& slot : slots_) {
      slot.left.reset(new (std::nothrow) uint8_t[bytes]);
      slot.across.reset(new (std::nothrow) int16_t[bytes]);
      if (!slot.left || !slot.across) return false;
    }
    return true;
  }
  // Returns the expansion of source row `source` (read from row unless held),
  // never giving up the one of row `keep`.
  std::pair<const uint8_t*, const int16_t*> Get(int64_t source, const uint8_t* row, const RowExpansion& expansion,
                                                int64_t keep) {
    for (Slot& slot : slots_) {
      if (slot.source == source) return {slot.left.get(), slot.across.get()};
    }
    Slot& slot = slots_[0].source == keep ? slots_[1] : slots_[0];
    expansion.Expand(row, slot.left.get(), slot.across.get());
    slot.source = source;
    return {slot.left.get(), slot.across.get()};
  }

 private:
  struct Slot {
    int64_t source = -1;
    std::unique_ptr<uint8_t[]> left;
    std::unique_ptr<int16_t[]> across;
  };
  Slot slots_[2];
  size_t bytes_ = 0;
};

}  // namespace

// The state of one enlargement between its parts.
//
// Output row k replaces page row k. Above the centre an output row samples
// rows at or below its own, below the centre rows at or above it; so the rows
// before the first that samples above itself (the upper group) are worked
// from the top down, the others from the bottom up, in one group or, for two
// threads, two. Each group only reads rows its own work has not reached yet.
// The few source rows that another group overwrites (groups may run at once),
// or that a group reads after passing them, are copied as soon as they are
// final, before any of them is written.
struct PictureEnlargement::Work {
  uint8_t* page;
  size_t width_DIB, rowBytes, height;
  RowExpansion columns;  // the source columns of every output row
  std::unique_ptr<double[]> byteFraction;
  std::unique_ptr<SamplePoint[]> rows;
  std::unique_ptr<int32_t[]> savedSlot;  // each row's slot in saved, or -1
  std::unique_ptr<uint8_t[]> saved;
  static constexpr size_t MOST_LOWER_GROUPS = 2;
  // The first row of each group, the upper one's (0) first, then the end.
  size_t groupStart[MOST_LOWER_GROUPS + 2] = {};
  size_t groups = 1;                             // the upper group and the lower ones
  ExpandedRows expanded[MOST_LOWER_GROUPS + 1];  // one for each group
  size_t split = 0;                              // the first row of the lower groups
  size_t nextUpper = 0;                          // the first upper-group row not yet enlarged

  // Takes the tables and plans the groups and the saved rows; false when
  // memory is short.
  bool Prepare(int64_t magnificationX, int64_t magnificationY, int32_t biWidth, int32_t biHeight, int threads);

  // Copies the planned rows among page rows [begin, end).
  void KeepRows(size_t begin, size_t end) {
    for (size_t r = begin; r < end; ++r) {
      if (savedSlot[r] >= 0)
        std::memcpy(saved.get() + static_cast<size_t>(savedSlot[r]) * rowBytes, page + r * width_DIB, rowBytes);
    }
  }

  // Enlarges up to `most` of the upper rows, top down, whose source rows all
  // lie within the first finalRows rows; returns how many it enlarged.
  size_t EnlargeUpperRows(size_t finalRows, size_t most) {
    size_t done = 0;
    for (; done < most && nextUpper < split && static_cast<size_t>(rows[nextUpper].next) < finalRows; ++done)
      EnlargeRow(nextUpper++, expanded[0]);
    return done;
  }

  size_t Group(size_t k) const {
    size_t g = 0;
    while (g + 1 < groups && k >= groupStart[g + 1]) ++g;
    return g;
  }

  // Writes output row k with the given group's cache.
  void EnlargeRow(size_t k, ExpandedRows& cache) {
    const auto sourceRow = [&](int64_t source) -> const uint8_t* {
      const auto r = static_cast<size_t>(source);
      if (savedSlot[r] >= 0) return saved.get() + static_cast<size_t>(savedSlot[r]) * rowBytes;
      return page + r * width_DIB;
    };
    const SamplePoint& row = rows[k];
    // A row's source rows are expanded before the row is written, so a row
    // may sample itself: across the page's width it reads columns its own
    // left part replaces.
    const auto upper = cache.Get(row.near, sourceRow(row.near), columns, row.next);
    const auto lower = cache.Get(row.next, sourceRow(row.next), columns, row.near);
    uint8_t* out = page + k * width_DIB;
    ActiveResizeKernels().interpolateRow(upper.first, upper.second, lower.first, lower.second, row.fraction,
                                         byteFraction.get(), rowBytes, out);
    // The bytes after the last pixel carry no picture; they are left white.
    std::memset(out + rowBytes, 255, width_DIB - rowBytes);
  }
};

bool PictureEnlargement::Work::Prepare(int64_t magnificationX, int64_t magnificationY, int32_t biWidth,
                                       int32_t biHeight, int threads) {
  const double bx = 1.0 / ScaleFactor(magnificationX);
  const double by = 1.0 / ScaleFactor(magnificationY);
  const int64_t tarWidth = ScaledSize(magnificationX, biWidth);
  const int64_t tarHeight = ScaledSize(magnificationY, biHeight);
  // The retained window starts this far into the enlarged picture.
  const int64_t firstColumn = (tarWidth - biWidth) / 2;
  const int64_t firstRow = (tarHeight - biHeight) / 2;

  // Every output row samples the same source columns: their pixels and
  // fractions come from one running sum along the row, taken once, the
  // fraction repeated for the three bytes of a pixel. The rows' sample points
  // come from the same kind of running sum down the page.
  columns.pixels = static_cast<size_t>(biWidth);
  columns.leftPixel.reset(new (std::nothrow) uint32_t[columns.pixels]);
  columns.rightPixel.reset(new (std::nothrow) uint32_t[columns.pixels]);
  byteFraction.reset(new (std::nothrow) double[rowBytes]);
  rows.reset(new (std::nothrow) SamplePoint[height]);
  savedSlot.reset(new (std::nothrow) int32_t[height]);
  if (!columns.leftPixel || !columns.rightPixel || !byteFraction || !rows || !savedSlot) return false;
  for (ExpandedRows& cache : expanded) {
    if (!cache.Allocate(rowBytes)) return false;
  }
  double px = static_cast<double>(firstColumn) * bx;
  for (int32_t m = 0; m < biWidth; ++m) {
    const SamplePoint column = Sample(px, biWidth);
    columns.leftPixel[m] = static_cast<uint32_t>(3 * column.near);
    columns.rightPixel[m] = static_cast<uint32_t>(3 * column.next);
    for (size_t c = 0; c < 3; ++c) byteFraction[3 * static_cast<size_t>(m) + c] = column.fraction;
    px += bx;
  }
  columns.PlanBlocks();
  double py = static_cast<double>(firstRow) * by;
  for (size_t k = 0; k < height; ++k) {
    rows[k] = Sample(py, biHeight);
    py += by;
  }

  while (split < height && rows[split].near >= static_cast<int64_t>(split)) ++split;
  // Two threads share the lower rows in two groups; the upper group is the
  // other thread's, or went along with the reading.
  const size_t lowerGroups = threads == 2 ? MOST_LOWER_GROUPS : 1;
  groups = 1 + lowerGroups;
  for (size_t g = 0; g <= lowerGroups; ++g) groupStart[1 + g] = split + (height - split) * g / lowerGroups;
  const auto mayBeOverwritten = [&](size_t source, size_t k) {
    if (Group(source) != Group(k)) return true;
    return k < split ? source < k : source > k;
  };
  size_t savedRows = 0;
  std::fill(savedSlot.get(), savedSlot.get() + height, -1);
  for (size_t k = 0; k < height; ++k) {
    for (const int64_t source : {rows[k].near, rows[k].next}) {
      const auto r = static_cast<size_t>(source);
      if (savedSlot[r] < 0 && mayBeOverwritten(r, k)) savedSlot[r] = static_cast<int32_t>(savedRows++);
    }
  }
  saved.reset(new (std::nothrow) uint8_t[std::max<size_t>(savedRows, 1) * rowBytes]);
  return saved != nullptr;
}

PictureEnlargement::PictureEnlargement(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                                       int32_t iMagnificationY, int threads) {
  if (biWidth <= 0 || biHeight <= 0) return;
  const int64_t magnificationX = EnlargementUsed(iMagnificationX, biWidth);
  const int64_t magnificationY = EnlargementUsed(iMagnificationY, biHeight);
  if (magnificationX == 0 && magnificationY == 0) return;
  work_.reset(new (std::nothrow) Work{});
  if (!work_) {
    kind_ = Kind::OutOfMemory;
    return;
  }
  work_->page = pSrcBitmap;
  work_->width_DIB = RowStride(biWidth);
  work_->rowBytes = 3 * static_cast<size_t>(biWidth);
  work_->height = static_cast<size_t>(biHeight);
  kind_ =
      work_->Prepare(magnificationX, magnificationY, biWidth, biHeight, threads) ? Kind::Enlarge : Kind::OutOfMemory;
}

PictureEnlargement::~PictureEnlargement() = default;

void PictureEnlargement::RowsFinal(size_t rows) {
  if (kind_ != Kind::Enlarge || rows <= finalRows_) return;
  work_->KeepRows(finalRows_, rows);
  finalRows_ = rows;
}

bool PictureEnlargement::WorkAhead() {
  return kind_ == Kind::Enlarge && work_->EnlargeUpperRows(finalRows_, kResizeRowsPerStep) > 0;
}

size_t PictureEnlargement::RowsDone() const {
  if (kind_ == Kind::Nothing) return finalRows_;
  if (kind_ == Kind::OutOfMemory) return 0;
  return finished_ ? work_->height : work_->nextUpper;
}

void PictureEnlargement::RowsRewritten() {
  if (kind_ == Kind::Enlarge) work_->KeepRows(0, finalRows_);
}

int PictureEnlargement::Finish(int threads) {
  if (kind_ == Kind::OutOfMemory) return -1;
  if (kind_ == Kind::Enlarge) {
    Work& w = *work_;
    RowsFinal(w.height);
    // The groups as bands: the rest of the upper one down, the lower ones up.
    const BandsEnd groups = ForRowBands(
        w.groups, 1, threads, [] { return false; },
        [&](size_t group, size_t, int) {
          if (group == 0) {
            w.EnlargeUpperRows(w.height, w.height);
          } else {
            for (size_t k = w.groupStart[group + 1]; k-- > w.groupStart[group];) w.EnlargeRow(k, w.expanded[group]);
          }
        });
    if (groups == BandsEnd::Failed) return kHelperFailed;
  }
  finished_ = true;
  return 0;
}

int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY, int threads) {
  return PictureEnlargement(pSrcBitmap, biWidth, biHeight, iMagnificationX, iMagnificationY, threads).Finish(threads);
}

}  // namespace velta
