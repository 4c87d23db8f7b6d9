#pragma once

#include <cstddef>
#include <cstdint>

// The dither source of the head data: the MT19937 Mersenne Twister in its
// published reference form. The state is process-wide and starts unseeded;
// a draw from an unseeded state seeds it with 5489 first. Not thread-safe.
namespace velta {

// Seeds the generator state from the single word s.
void init_genrand(uint32_t s);

// Seeds the generator state from key_length words at init_key (a key_length
// below 1 is taken as the one-word key {0}).
void init_by_array(const uint32_t init_key[], int key_length);

// Returns the next 32-bit number of the sequence.
uint32_t genrand_int32();

// Writes the next count numbers of the sequence to out, exactly as count
// calls of genrand_int32 would return them.
void genrand_block(uint32_t* out, std::size_t count);

// Writes the low 11 bits of the next count numbers to out: the dither of the
// head data, as count calls of genrand_int32 & 0x7FF would give it.
void genrand_dither_block(uint16_t* out, std::size_t count);

}  // namespace velta
