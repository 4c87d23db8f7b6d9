// Picture resizing: the picture is enlarged about its centre or reduced onto the
// centre of a white page, while the page keeps its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velta {

// Enlarges the picture in the page buffer pSrcBitmap (read and written) by
// (magnification + 100) / 100 with bilinear interpolation and keeps the centre;
// returns 0, or -1 when the work picture cannot be allocated (page untouched).
// With threads 2 the rows are shared with a helper thread; the bytes are the same.
int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY, int threads = 1);

// Reduces the picture in the page buffer pSrcBitmap (read and written) by
// (magnification + 100) / 100 with exact area averaging and centres it on a white
// page; returns 0, or -1 when a work picture cannot be allocated (page untouched).
// With threads 2 the rows are shared with a helper thread; the bytes are the same.
int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                         int32_t iMagnificationY, int threads = 1);

// The same reduction in phases, so that the first can run on each row as soon
// as the row is final: across (each row reduced at its own start, rows in any
// order and on two threads at once, each with its own worker number 0 or 1),
// then down, as far as the final rows allow (ReduceDownWithin), and the rest
// of it and around (Finish). ResizePictureAverage is across, then Finish.
class PictureReduction {
 public:
  enum class Kind { Nothing, White, Reduce, OutOfMemory };

  // Works out the reduction of the page and takes its work memory.
  PictureReduction(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                   int32_t iMagnificationY);
  ~PictureReduction();
  PictureReduction(const PictureReduction&) = delete;
  PictureReduction& operator=(const PictureReduction&) = delete;

  // Nothing to do, a page shrunk to nothing (white), a reduction, or no memory
  // for one (the page is then left untouched).
  Kind kind() const { return kind_; }
  // Reduces rows [begin, end) across, in place; only for Kind::Reduce.
  void ReduceRowsAcross(std::size_t begin, std::size_t end, int worker);
  // Rows [begin, end) are reduced across and final: keeps the copies of them
  // that the pass down reads after they are overwritten. Called with rising
  // rows (or the whole page again after rows moved); Finish takes the copies
  // of the rows never passed here.
  void RowsReducedAcross(std::size_t begin, std::size_t end);
  // Does up to `most` reduced rows of the pass down whose source rows and
  // destination all lie within the first finalRows rows, all passed to
  // RowsReducedAcross; returns how many it did. One thread at a time.
  std::size_t ReduceDownWithin(std::size_t finalRows, std::size_t most, int worker);
  // Once every row is reduced across: the rest of the reduction, on threads
  // (1 or 2) threads. Returns 0, or -1 when memory is short.
  int Finish(int threads);

 private:
  struct Work;
  Kind kind_ = Kind::Nothing;
  std::unique_ptr<Work> work_;
};

// The same enlargement in parts, so that its upper rows can follow the rows of
// the page as they become final. Rows are passed to RowsFinal in order; the
// upper rows whose sources are all final may be enlarged (EnlargeUpperRows) on
// one thread at a time; once every row is final, Finish does the rest.
// ResizePicture is the whole page passed at once, then Finish.
class PictureEnlargement {
 public:
  enum class Kind { Nothing, Enlarge, OutOfMemory };

  // Works out the enlargement of the page and takes its work memory, planned
  // for Finish on `threads` threads (1 or 2).
  PictureEnlargement(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                     int32_t iMagnificationY, int threads);
  ~PictureEnlargement();
  PictureEnlargement(const PictureEnlargement&) = delete;
  PictureEnlargement& operator=(const PictureEnlargement&) = delete;

  // Nothing to do, an enlargement, or no memory for one (the page is then left
  // untouched).
  Kind kind() const { return kind_; }
  // Rows [begin, end) are final: keeps the copies of them that later work
  // reads after they are overwritten. Before anything is enlarged from them.
  void RowsFinal(std::size_t begin, std::size_t end);
  // Enlarges up to `most` of the upper rows, top down, whose source rows all
  // lie within the first finalRows rows, all passed to RowsFinal; returns how
  // many it enlarged.
  std::size_t EnlargeUpperRows(std::size_t finalRows, std::size_t most);
  // The number of leading rows EnlargeUpperRows has enlarged: final, as
  // nothing later writes them.
  std::size_t UpperRowsDone() const;
  // Once every row has been passed to RowsFinal: the rest of the enlargement,
  // on threads (1 or 2) threads. Returns 0, or -1 when memory was short.
  int Finish(int threads);

 private:
  struct Work;
  Kind kind_ = Kind::Nothing;
  std::unique_ptr<Work> work_;
};

// Returns the least common multiple of two positive numbers (0 when either is not
// positive or the multiple does not fit in 64 bits).
int64_t CalcLCM(int64_t a, int64_t b);

}  // namespace velta
