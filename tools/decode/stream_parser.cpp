// Reads back the byte stream the printer receives and checks every byte of it.
#include "stream_parser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace velta {
namespace {

// What a byte of a fixed-size block means to the printer.
enum class Role {
  esc,          // 0x1B, first byte of every command
  opcode,       // selects the command
  length,       // one of the four big-endian bytes of the data length
  parameter,    // byte 6 of a command header
  constant,     // a data byte with one fixed value
  copies,       // CopiesDAT byte 1, the copy count
  row_flag,     // PrntModeSltDAT byte 1: 0x04, or 0xA4 on a 2492-row page
  print_mode,   // PrntModeSltDAT byte 2: 0x0C normal, 0x00 high quality
  width_high,   // page width, bits 15-8
  width_low,    // page width, bits 7-0
  height_high,  // page height, bits 15-8
  height_low,   // page height, bits 7-0
  repeat,       // must equal an earlier set-up byte (size sent twice)
  space_flag,   // cpybuf byte 6: 0x00, or 0x01 when one half is blank
};

// One byte of a fixed-size block: the command it belongs to, its position in
// that command's byte array, its role and, for fixed bytes, its value (for
// Role::repeat, the set-up index of the byte it repeats).
struct ByteRule {
  const char* command;
  int index;
  Role role;
  uint8_t value;
};

using Rules = std::vector<ByteRule>;

// Appends the 7-byte header shared by every command but SendDataCMD.
void AddHeader(Rules& rules, const char* name, uint8_t opcode, uint32_t length) {
  rules.push_back({name, 0, Role::esc, 0x1B});
  rules.push_back({name, 1, Role::opcode, opcode});
  for (int i = 0; i < 4; ++i)
    rules.push_back({name, 2 + i, Role::length, static_cast<uint8_t>(length >> (24 - 8 * i))});
  rules.push_back({name, 6, Role::parameter, 0x00});
}

// Appends the data bytes of a command, each with its role and value.
void AddData(Rules& rules, const char* name, std::initializer_list<std::pair<Role, uint8_t>> bytes) {
  int index = 0;
  for (const auto& [role, value] : bytes) rules.push_back({name, index++, role, value});
}

// The 66 set-up bytes: TransCMD, CopiesCMD, PrntModeSltCMD and ModeSelectCMD
// with their data arrays.
const Rules& SetupRules() {
  static const Rules rules = [] {
    constexpr Role C = Role::constant;
    Rules r;
    AddHeader(r, "TransCMD", 0x1E, 12);
    AddData(r, "TransDAT",
            {{C, 0x01}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}, {C, 0}});
    AddHeader(r, "CopiesCMD", 0xEE, 2);
    AddData(r, "CopiesDAT", {{C, 0}, {Role::copies, 0}});
    AddHeader(r, "PrntModeSltCMD", 0xE1, 11);
    AddData(r, "PrntModeSltDAT",
            {{C, 0},
             {Role::row_flag, 0},
             {Role::print_mode, 0},
             {C, 0},
             {C, 0},
             {C, 0},
             {C, 0},
             {Role::width_high, 0},
             {Role::width_low, 0},
             {Role::height_high, 0},
             {Role::height_low, 0}});
    const auto size_at = static_cast<uint8_t>(r.size() - 4);  // PrntModeSltDAT byte 7
    AddHeader(r, "ModeSelectCMD", 0x15, 13);
    AddData(r, "ModeSelectDAT",
            {{C, 0},
             {C, 0},
             {C, 0},
             {C, 0},
             {C, 0x67},
             {C, 0},
             {C, 0},
             {C, 0},
             {C, 0},
             {Role::repeat, size_at},
             {Role::repeat, static_cast<uint8_t>(size_at + 1)},
             {Role::repeat, static_cast<uint8_t>(size_at + 2)},
             {Role::repeat, static_cast<uint8_t>(size_at + 3)}});
    return r;
  }();
  return rules;
}

// The 18 closing bytes: cpybuf (header, SpaceFlag parameter, four 0xFF) and
// PrintCMD.
const Rules& ClosingRules() {
  static const Rules rules = [] {
    Rules r;
    AddHeader(r, "cpybuf", 0x23, 4);
    r[6].role = Role::space_flag;
    for (int i = 7; i < 11; ++i) r.push_back({"cpybuf", i, Role::constant, 0xFF});
    AddHeader(r, "PrintCMD", 0x0A, 0);
    return r;
  }();
  return rules;
}

// Opcodes of the two commands that may follow the set-up commands.
constexpr uint8_t kSendDataOpcode = 0xEA;
constexpr uint8_t kCpybufOpcode = 0x23;
constexpr size_t kSendDataHeaderSize = 11;

// "0x1B" style rendering of a byte.
std::string Hex(uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// The complaint about a byte that breaks a fixed-value rule.
std::string WrongFixedByte(const ByteRule& rule, uint8_t byte) {
  const std::string cmd = rule.command;
  const std::string got = Hex(byte), want = Hex(rule.value);
  switch (rule.role) {
    case Role::esc:
      return cmd + " starts with " + got + " instead of ESC (0x1B)";
    case Role::opcode:
      return cmd + " has opcode " + got + ", expected " + want;
    case Role::length:
      return cmd + " length byte " + std::to_string(rule.index) + " is " + got + ", expected " + want;
    case Role::parameter:
      return cmd + " parameter byte is " + got + ", expected " + want;
    default:
      return cmd + " byte " + std::to_string(rule.index) + " is " + got + ", expected " + want;
  }
}

}  // namespace

std::span<const uint8_t> DecodedPage::plane(int k) const {
  if (!has_planes || k < 0 || k > 2) return {};
  const size_t size = static_cast<size_t>(plane_size());
  return std::span<const uint8_t>(planes).subspan(size * static_cast<size_t>(k), size);
}

StreamParser::StreamParser(bool keep_planes) : keep_planes_(keep_planes) { setup_.reserve(SetupRules().size()); }

// Records the first fault; later ones are never looked for.
void StreamParser::fail(std::string what, uint64_t at) {
  if (fault_) return;
  fault_ = StreamFault{"page " + std::to_string(pages_done_ + 1) + ": " + std::move(what), at};
}

// Begins a page at the current offset.
void StreamParser::start_page() {
  page_ = DecodedPage{};
  page_.start_offset = offset_;
  setup_.clear();
}

// Checks byte index_ of the set-up commands against its rule.
bool StreamParser::check_setup_byte(uint8_t byte) {
  const ByteRule& rule = SetupRules()[index_];
  setup_.push_back(byte);
  auto field_offset = [&](int back) { return offset_ - static_cast<uint64_t>(back); };
  switch (rule.role) {
    case Role::copies:
      if (byte < 1 || byte > 99) {
        fail("copy count " + std::to_string(byte) + " is outside 1..99 (CopiesDAT byte 1)", offset_);
        return false;
      }
      page_.copies = byte;
      return true;
    case Role::row_flag:
      if (byte != 0x04 && byte != 0xA4) {
        fail("PrntModeSltDAT byte 1 is " + Hex(byte) + ", expected 0x04 or 0xA4 (the 2492-row flag)", offset_);
        return false;
      }
      page_.tall_page_flag = byte == 0xA4;
      return true;
    case Role::print_mode:
      if (byte != 0x0C && byte != 0x00) {
        fail("PrntModeSltDAT byte 2 is " + Hex(byte) + ", expected 0x0C (normal mode) or 0x00 (high-quality mode)",
             offset_);
        return false;
      }
      page_.high_quality = byte == 0x00;
      return true;
    case Role::width_high:
    case Role::height_high:
      return true;
    case Role::width_low:
      page_.width = (uint32_t{setup_[index_ - 1]} << 8) | byte;
      if (page_.width == 0) {
        fail("page width is 0 (PrntModeSltDAT bytes 7-8)", field_offset(1));
        return false;
      }
      return true;
    case Role::height_low:
      page_.height = (uint32_t{setup_[index_ - 1]} << 8) | byte;
      if (page_.height == 0) {
        fail("page height is 0 (PrntModeSltDAT bytes 9-10)", field_offset(1));
        return false;
      }
      // The flag byte is PrntModeSltDAT byte 1, nine bytes before this one.
      if (page_.tall_page_flag != (page_.height == 2492)) {
        fail(page_.tall_page_flag
                 ? "the 2492-row flag (0xA4) is set on a page of " + std::to_string(page_.height) + " rows"
                 : std::string("a page of 2492 rows lacks the 2492-row flag (0xA4)"),
             field_offset(9));
        return false;
      }
      return true;
    case Role::repeat:
      if (byte != setup_[rule.value]) {
        fail(std::string(rule.command) + " byte " + std::to_string(rule.index) + " is " + Hex(byte) +
                 ", but PrntModeSltDAT sent " + Hex(setup_[rule.value]) + " for the same byte of the page size",
             offset_);
        return false;
      }
      return true;
    default:
      if (byte != rule.value) {
        fail(WrongFixedByte(rule, byte), offset_);
        return false;
      }
      return true;
  }
}

// Checks byte index_ of SendDataCMD; byte 1 may instead open the closing
// commands of a page cancelled before its head data.
bool StreamParser::check_data_header_byte(uint8_t byte) {
  switch (index_) {
    case 0:
      if (byte != 0x1B) {
        fail("SendDataCMD starts with " + Hex(byte) + " instead of ESC (0x1B)", offset_);
        return false;
      }
      return true;
    case 1:
      if (byte == kCpybufOpcode) {
        page_.cancelled = true;
        block_ = Block::closing;  // cpybuf byte 1 is checked again as such
        return check_closing_byte(byte);
      }
      if (byte != kSendDataOpcode) {
        fail("opcode " + Hex(byte) + " after the set-up commands, expected SendDataCMD (0xEA) or cpybuf (0x23)",
             offset_);
        return false;
      }
      return true;
    case 6:
    case 7:
    case 8:
      announced_length_ = (announced_length_ << 8) | byte;
      return true;
    case 9: {
      announced_length_ = (announced_length_ << 8) | byte;
      const uint64_t needed = page_.plane_size() * 3;
      if (announced_length_ != needed) {
        fail("SendDataCMD announces " + std::to_string(announced_length_) + " bytes of head data, but a " +
                 std::to_string(page_.width) + "x" + std::to_string(page_.height) + " page needs " +
                 std::to_string(needed),
             offset_ - 3);
        return false;
      }
      return true;
    }
    default:  // bytes 2-5 and 10
      if (byte != 0x00) {
        fail("SendDataCMD byte " + std::to_string(index_) + " is " + Hex(byte) + ", expected 0x00", offset_);
        return false;
      }
      return true;
  }
}

// Checks byte index_ of the closing commands against its rule.
bool StreamParser::check_closing_byte(uint8_t byte) {
  const ByteRule& rule = ClosingRules()[index_];
  if (rule.role == Role::space_flag) {
    if (byte != 0x00 && byte != 0x01) {
      fail("cpybuf parameter byte is " + Hex(byte) + ", expected 0x00 or 0x01 (SpaceFlag)", offset_);
      return false;
    }
    // The cancel path always closes with SpaceFlag 1.
    if (page_.cancelled && byte != 0x00) {
      fail("a page cancelled before its head data closes with cpybuf parameter 0x01, expected 0x00", offset_);
      return false;
    }
    page_.SpaceFlag = byte == 0x01 ? 0 : 1;
    return true;
  }
  if (byte != rule.value) {
    fail(WrongFixedByte(rule, byte), offset_);
    return false;
  }
  return true;
}

// Takes head data from the front of bytes; returns how many were taken.
size_t StreamParser::take_data(std::span<const uint8_t> bytes) {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(data_left_, bytes.size()));
  // Storage grows with the bytes that have arrived, never with the length
  // field alone.
  if (keep_planes_) page_.planes.insert(page_.planes.end(), bytes.begin(), bytes.begin() + n);
  data_left_ -= n;
  return n;
}

// Completes the current page after its PrintCMD.
void StreamParser::end_page() {
  page_.has_planes = keep_planes_ && !page_.cancelled;
  done_.push_back(std::move(page_));
  ++pages_done_;
  block_ = Block::setup;
  index_ = 0;
}

bool StreamParser::feed(std::span<const uint8_t> bytes) {
  size_t pos = 0;
  while (!fault_ && pos < bytes.size()) {
    if (block_ == Block::data) {
      const size_t n = take_data(bytes.subspan(pos));
      pos += n;
      offset_ += n;
      if (data_left_ == 0) {
        block_ = Block::closing;
        index_ = 0;
      }
      continue;
    }
    const uint8_t byte = bytes[pos];
    bool ok = true;
    switch (block_) {
      case Block::setup:
        if (index_ == 0) {
          start_page();
          if (byte != 0x1B && pages_done_ > 0) {
            fault_ = StreamFault{"byte " + Hex(byte) + " after the end of page " + std::to_string(pages_done_) +
                                     ", where only the ESC (0x1B) of a next page may follow",
                                 offset_};
            return false;
          }
        }
        ok = check_setup_byte(byte);
        if (ok && ++index_ == SetupRules().size()) {
          block_ = Block::data_header;
          index_ = 0;
          announced_length_ = 0;
        }
        break;
      case Block::data_header:
        ok = check_data_header_byte(byte);
        if (ok && block_ == Block::data_header && ++index_ == kSendDataHeaderSize) {
          block_ = Block::data;
          data_left_ = announced_length_;
          if (keep_planes_) page_.planes.reserve(std::min<uint64_t>(data_left_, 1 << 20));
        } else if (ok && block_ == Block::closing) {
          index_ = 2;  // the cpybuf ESC and opcode are in
        }
        break;
      case Block::closing:
        ok = check_closing_byte(byte);
        if (ok && ++index_ == ClosingRules().size()) {
          ++pos;
          ++offset_;
          end_page();
          continue;
        }
        break;
      case Block::data:
        break;
    }
    if (!ok) return false;
    ++pos;
    ++offset_;
  }
  return !fault_;
}

bool StreamParser::finish() {
  if (fault_) return false;
  if (block_ == Block::setup && index_ == 0) {
    if (pages_done_ == 0) {
      fault_ = StreamFault{"the stream holds no page", offset_};
      return false;
    }
    return true;
  }
  std::string inside;
  switch (block_) {
    case Block::setup:
      inside = SetupRules()[index_].command;
      break;
    case Block::data_header:
      inside = "SendDataCMD";
      break;
    case Block::data:
      inside = "the head data (" + std::to_string(data_left_) + " of " + std::to_string(announced_length_) +
               " bytes missing)";
      break;
    case Block::closing:
      inside = ClosingRules()[index_].command;
      break;
  }
  fail("the stream ends inside " + inside, offset_);
  return false;
}

std::vector<DecodedPage> StreamParser::take_pages() {
  std::vector<DecodedPage> pages = std::move(done_);
  done_.clear();
  return pages;
}

StreamContents ParseStream(std::span<const uint8_t> stream) {
  StreamParser parser(true);
  if (parser.feed(stream)) parser.finish();
  return {parser.take_pages(), parser.fault()};
}

}  // namespace velta
