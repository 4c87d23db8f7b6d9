#include "tests/render/reference_mt19937.h"

namespace velta::reference {

void Mt19937::Seed(uint32_t s) {
  state_[0] = s;
  for (uint32_t i = 1; i < 624; ++i) state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
  index_ = 624;
}

void Mt19937::SeedByArray(const std::vector<uint32_t>& key) {
  Seed(19650218u);
  const std::size_t length = key.size();
  std::size_t i = 1, j = 0;
  for (std::size_t step = 0; step < (length > 624 ? length : 624); ++step) {
    state_[i] = (state_[i] ^ ((state_[i - 1] ^ (state_[i - 1] >> 30)) * 1664525u)) + key[j] + static_cast<uint32_t>(j);
    i = i + 1;
    j = j + 1;
    if (i == 624) {
      state_[0] = state_[623];
      i = 1;
    }
    if (j == length) j = 0;
  }
  for (int step = 0; step < 623; ++step) {
    state_[i] = (state_[i] ^ ((state_[i - 1] ^ (state_[i - 1] >> 30)) * 1566083941u)) - static_cast<uint32_t>(i);
    i = i + 1;
    if (i == 624) {
      state_[0] = state_[623];
      i = 1;
    }
  }
  state_[0] = 0x80000000u;
}

uint32_t Mt19937::Next() {
  if (index_ >= 624) {
    if (index_ == 625) Seed(5489u);
    for (int k = 0; k < 624; ++k) {
      const uint32_t y = (state_[k] & 0x80000000u) | (state_[(k + 1) % 624] & 0x7FFFFFFFu);
      state_[k] = state_[(k + 397) % 624] ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908B0DFu : 0u);
    }
    index_ = 0;
  }
  uint32_t y = state_[index_];
  index_ = index_ + 1;
  y = y ^ (y >> 11);
  y = y ^ ((y << 7) & 0x9D2C5680u);
  y = y ^ ((y << 15) & 0xEFC60000u);
  y = y ^ (y >> 18);
  return y;
}

}  // namespace velta::reference
