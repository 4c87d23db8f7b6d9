// The choice of vector kernels and thread count, from the processor, the
// environment or an explicit setting.
#include "cpu/cpu_variant.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "cpu/isa_target.h"

namespace velta {
namespace {

// The variant in use, packed as isa * 4 + threads; 0 means not chosen yet.
std::atomic<int> chosen{0};

constexpr int Pack(CpuVariant variant) { return static_cast<int>(variant.isa) * 4 + variant.threads; }

constexpr CpuVariant Unpack(int packed) { return {static_cast<Isa>(packed / 4), packed % 4}; }

// Returns the variant the environment asks for, with the best one filling in
// whatever it leaves out or names wrongly.
CpuVariant VariantFromEnvironment() {
  CpuVariant variant = BestVariant();
  if (const char* isa = std::getenv("VELTA_ISA")) {
    for (Isa candidate : AvailableIsas()) {
      if (std::strcmp(isa, IsaName(candidate)) == 0) variant.isa = candidate;
    }
  }
  if (const char* threads = std::getenv("VELTA_THREADS")) {
    if (std::strcmp(threads, "1") == 0) variant.threads = 1;
    if (std::strcmp(threads, "2") == 0) variant.threads = 2;
  }
  return variant;
}

}  // namespace

bool IsaAvailable(Isa isa) {
  switch (isa) {
    case Isa::Portable:
      return true;
#if VELTA_ISA_TARGETS
    case Isa::Avx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    case Isa::Avx512:
      return IsaAvailable(Isa::Avx2) && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
#endif
    default:
      return false;
  }
}

const char* IsaName(Isa isa) {
  switch (isa) {
    case Isa::Avx2:
      return "avx2";
    case Isa::Avx512:
      return "avx512";
    default:
      return "portable";
  }
}

std::vector<Isa> AvailableIsas() {
  std::vector<Isa> isas;
  for (Isa isa : {Isa::Portable, Isa::Avx2, Isa::Avx512}) {
    if (IsaAvailable(isa)) isas.push_back(isa);
  }
  return isas;
}

CpuVariant BestVariant() { return {AvailableIsas().back(), 2}; }

CpuVariant CurrentVariant() {
  int packed = chosen.load(std::memory_order_relaxed);
  if (packed == 0) {
    packed = Pack(VariantFromEnvironment());
    chosen.store(packed, std::memory_order_relaxed);
  }
  return Unpack(packed);
}

bool SetVariant(CpuVariant variant) {
  if (!IsaAvailable(variant.isa) || (variant.threads != 1 && variant.threads != 2)) return false;
  chosen.store(Pack(variant), std::memory_order_relaxed);
  return true;
}

}  // namespace velta
