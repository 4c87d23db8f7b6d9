#include "render/random_source.h"

#include <array>

#include "render/render_kernel.h"

namespace velta {
namespace {

constexpr int N = 624;
constexpr int M = 397;
constexpr uint32_t MATRIX_A = 0x9908B0DFu;
constexpr uint32_t UPPER_MASK = 0x80000000u;
constexpr uint32_t LOWER_MASK = 0x7FFFFFFFu;

// The one generator of the process. mti == N + 1 marks a state never seeded.
std::array<uint32_t, N> mt{};
int mti = N + 1;

// Rebuilds all 624 words of the state; later words already see the new
// values of the earlier ones once k + 397 wraps past the end.
void regenerate() {
  constexpr uint32_t mag01[2] = {0u, MATRIX_A};
  for (int k = 0; k < N; ++k) {
    const uint32_t y = (mt[k] & UPPER_MASK) | (mt[(k + 1) % N] & LOWER_MASK);
    mt[k] = mt[(k + M) % N] ^ (y >> 1) ^ mag01[y & 1u];
  }
  mti = 0;
}

// Returns the next state word tempered into an output number.
inline uint32_t next_tempered() {
  if (mti >= N) {
    if (mti == N + 1) init_genrand(5489u);
    regenerate();
  }
  uint32_t y = mt[mti++];
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= (y >> 18);
  return y;
}

}  // namespace

void init_genrand(uint32_t s) {
  mt[0] = s;
  for (int i = 1; i < N; ++i) {
    mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<uint32_t>(i);
  }
  mti = N;
}

void init_by_array(const uint32_t init_key[], int key_length) {
  constexpr uint32_t empty_key[1] = {0u};
  if (key_length < 1) {
    init_key = empty_key;
    key_length = 1;
  }
  init_genrand(19650218u);
  int i = 1;
  int j = 0;
  for (int k = (N > key_length ? N : key_length); k > 0; --k) {
    mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + init_key[j] + static_cast<uint32_t>(j);
    ++i;
    ++j;
    if (i >= N) {
      mt[0] = mt[N - 1];
      i = 1;
    }
    if (j >= key_length) j = 0;
  }
  for (int k = N - 1; k > 0; --k) {
    mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - static_cast<uint32_t>(i);
    ++i;
    if (i >= N) {
      mt[0] = mt[N - 1];
      i = 1;
    }
  }
  mt[0] = 0x80000000u;  // a non-zero state is assured
}

uint32_t genrand_int32() { return next_tempered(); }

// Seeds an unseeded generator as a first draw would.
static void SeedIfNeverSeeded() {
  if (mti == N + 1) init_genrand(5489u);
}

void genrand_block(uint32_t* out, std::size_t count) {
  SeedIfNeverSeeded();
  ActiveKernels().generate(mt.data(), &mti, out, count);
}

void genrand_dither_block(uint16_t* out, std::size_t count) {
  SeedIfNeverSeeded();
  ActiveKernels().generateDither(mt.data(), &mti, out, count);
}

}  // namespace velta
