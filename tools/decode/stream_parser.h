// Reads back the byte stream the printer receives and checks every byte of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velta {

// One page as the printer would print it.
struct DecodedPage {
  uint64_t start_offset = 0;    // byte offset of the page's TransCMD
  uint32_t width = 0;           // pixels across the head (set-up commands)
  uint32_t height = 0;          // rows fed past the head
  uint32_t copies = 0;          // CopiesDAT byte 1, 1..99
  bool high_quality = false;    // PrntModeSltDAT byte 2 is 0x00
  bool tall_page_flag = false;  // PrntModeSltDAT byte 1 is 0xA4: a 2492-row page
  int SpaceFlag = 1;            // 0 when cpybuf byte 6 is 0x01 (one half blank)
  bool cancelled = false;       // closing commands came right after the set-up
  bool has_planes = false;      // planes were kept (see StreamParser)
  // Head energies: plane 0 (from blue), plane 1 (green), plane 2 (red), each
  // width x height bytes, rows of width bytes.
  std::vector<uint8_t> planes;

  // Bytes in one plane.
  uint64_t plane_size() const { return uint64_t{width} * height; }
  // Plane k (0, 1 or 2) of a page whose planes were kept.
  std::span<const uint8_t> plane(int k) const;
};

// The first thing wrong in a stream and where it is.
struct StreamFault {
  std::string what;
  uint64_t offset = 0;
};

// Incremental reader of a printer stream: feed it any slices of the stream,
// then call finish(). Stops at the first fault. With keep_planes false the head
// data is checked for length only and not stored, so a summary of any stream
// needs a few hundred bytes of memory; with keep_planes true a page holds only
// as many bytes as the stream has actually delivered for it.
class StreamParser {
 public:
  explicit StreamParser(bool keep_planes);

  // Reads the next slice of the stream; false once a fault has been found.
  bool feed(std::span<const uint8_t> bytes);
  // Marks the end of the stream; false when it ends inside a page, before
  // any page, or a fault was found earlier.
  bool finish();

  // The first fault, if any.
  const std::optional<StreamFault>& fault() const { return fault_; }
  // Hands over the pages completed so far (each page once).
  std::vector<DecodedPage> take_pages();
  // Bytes read so far.
  uint64_t offset() const { return offset_; }
  // Pages completed so far, including those already taken.
  uint64_t pages_done() const { return pages_done_; }

 private:
  enum class Block { setup, data_header, data, closing };

  void fail(std::string what, uint64_t at);
  void start_page();
  bool check_setup_byte(uint8_t byte);
  bool check_data_header_byte(uint8_t byte);
  bool check_closing_byte(uint8_t byte);
  size_t take_data(std::span<const uint8_t> bytes);
  void end_page();

  bool keep_planes_;
  Block block_ = Block::setup;
  size_t index_ = 0;               // position within the current fixed block
  uint64_t offset_ = 0;            // stream offset of the next byte
  uint64_t data_left_ = 0;         // head data bytes still to come
  uint32_t announced_length_ = 0;  // SendDataCMD length field
  std::vector<uint8_t> setup_;     // the set-up bytes read so far
  DecodedPage page_;
  std::vector<DecodedPage> done_;
  uint64_t pages_done_ = 0;
  std::optional<StreamFault> fault_;
};

// Result of reading a whole stream held in memory.
struct StreamContents {
  std::vector<DecodedPage> pages;
  std::optional<StreamFault> fault;
};

// Reads a whole stream in one go, keeping the planes.
StreamContents ParseStream(std::span<const uint8_t> stream);

}  // namespace velta
