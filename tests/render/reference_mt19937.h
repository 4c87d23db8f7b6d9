#pragma once

#include <cstdint>
#include <vector>

namespace velta::reference {

// A second, object-held MT19937 written straight from the published
// algorithm, used as the expectation for the process-wide generator.
class Mt19937 {
 public:
  // Seeds from one word.
  void Seed(uint32_t s);
  // Seeds from a key of one or more words.
  void SeedByArray(const std::vector<uint32_t>& key);
  // Returns the next number (seeding with 5489 first if never seeded).
  uint32_t Next();

 private:
  uint32_t state_[624] = {};
  int index_ = 625;
};

}  // namespace velta::reference
