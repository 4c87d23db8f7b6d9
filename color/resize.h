// Picture resizing: the picture is enlarged about its centre or reduced onto the
// centre of a white page, while the page keeps its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velta {

// Enlarges the picture in the page buffer pSrcBitmap (read and written) by
// (magnification + 100) / 100 with bilinear interpolation and keeps the centre;
// returns 0, -1 when the work picture cannot be allocated (page untouched), or
// -2 when a helper thread failed.
// With threads 2 the rows are shared with a helper thread; the bytes are the same.
int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY, int threads = 1);

// Reduces the picture in the page buffer pSrcBitmap (read and written) by
// (magnification + 100) / 100 with exact area averaging and centres it on a white
// page; returns 0, -1 when a work picture cannot be allocated (page untouched),
// or -2 when a helper thread failed.
// With threads 2 the rows are shared with a helper thread; the bytes are the same.
int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                         int32_t iMagnificationY, int threads = 1);

// The stages of a page meet its rows as they become final, a few at a time:
// RowsFinal(rows) says that rows [0, rows) are final (rising counts) and does
// the work each new row needs on its own; WorkAhead does one step of the work
// the final rows allow, when there is time to spare and no row can move any
// more; RowsDone is how many leading rows of the result are final; Finish does
// the rest once every row is final, on `threads` threads (1 or 2). RowsFinal
// and WorkAhead are called from one thread at a time, before Finish.
inline constexpr std::size_t kResizeRowsPerStep = 16;
// What Finish returns when a helper thread failed: the page is then half resized.
inline constexpr int kHelperFailed = -2;

// The reduction in place: across (each row reduced at its own start, as soon
// as it is final), down (as far as the final rows allow ahead of time), and
// around (the surround turns white last). ResizePictureAverage is Finish alone.
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
  // Reduces the new final rows across and keeps the copies of them that the
  // pass down reads after they are overwritten.
  void RowsFinal(std::size_t rows);
  // Does a few rows of the pass down whose source rows and destination are
  // all final; false when none can be done now.
  bool WorkAhead();
  // No reduced row is final before Finish has made the surround white.
  std::size_t RowsDone() const;
  // The final rows were rewritten whole (moved): the copies are taken again.
  void RowsRewritten();
  // The rest of the reduction once every row is final. Returns 0, -1 when
  // memory is short, or kHelperFailed.
  int Finish(int threads);

 private:
  struct Work;
  Kind kind_ = Kind::Nothing;
  std::unique_ptr<Work> work_;
  std::size_t finalRows_ = 0;
  bool finished_ = false;
};

// The enlargement in place: the upper rows can follow the rows of the page as
// they become final; the lower ones go in groups once the page is complete.
// ResizePicture is Finish alone.
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
  // Keeps the copies of the new final rows that later work reads after they
  // are overwritten.
  void RowsFinal(std::size_t rows);
  // Enlarges a few of the upper rows, top down, whose source rows are all
  // final; false when none can be done now.
  bool WorkAhead();
  // The leading rows enlarged: final, as nothing later writes them.
  std::size_t RowsDone() const;
  // The final rows were rewritten whole (moved): the copies are taken again.
  void RowsRewritten();
  // The rest of the enlargement once every row is final. Returns 0, -1 when
  // memory was short, or kHelperFailed.
  int Finish(int threads);

 private:
  struct Work;
  Kind kind_ = Kind::Nothing;
  std::unique_ptr<Work> work_;
  std::size_t finalRows_ = 0;
  bool finished_ = false;
};

// Returns the least common multiple of two positive numbers (0 when either is not
// positive or the multiple does not fit in 64 bits).
int64_t CalcLCM(int64_t a, int64_t b);

}  // namespace velta
