// The choice of row kernels and thread count, from the processor, the
// environment or an explicit setting.
#include "render/render_variant.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace velta {
namespace {

// The variant in use, packed as isa * 4 + threads; 0 means not chosen yet.
std::atomic<int> chosen{0};

constexpr int Pack(RenderVariant variant) { return static_cast<int>(variant.isa) * 4 + variant.threads; }

constexpr RenderVariant Unpack(int packed) { return {static_cast<RenderIsa>(packed / 4), packed % 4}; }

// Returns the variant the environment asks for, with the best one filling in
// whatever it leaves out or names wrongly.
RenderVariant VariantFromEnvironment() {
  RenderVariant variant = BestRenderVariant();
  if (const char* isa = std::getenv("VELTA_ISA")) {
    for (RenderIsa candidate : {RenderIsa::Portable, RenderIsa::Avx2, RenderIsa::Avx512}) {
      if (std::strcmp(isa, RenderIsaName(candidate)) == 0 && RenderIsaAvailable(candidate)) {
        variant.isa = candidate;
      }
    }
  }
  if (const char* threads = std::getenv("VELTA_THREADS")) {
    if (std::strcmp(threads, "1") == 0) variant.threads = 1;
    if (std::strcmp(threads, "2") == 0) variant.threads = 2;
  }
  return variant;
}

}  // namespace

bool RenderIsaAvailable(RenderIsa isa) {
  switch (isa) {
    case RenderIsa::Portable:
      return true;
#if defined(__x86_64__)
    case RenderIsa::Avx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    case RenderIsa::Avx512:
      return RenderIsaAvailable(RenderIsa::Avx2) && __builtin_cpu_supports("avx512f") &&
             __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#endif
    default:
      return false;
  }
}

const char* RenderIsaName(RenderIsa isa) {
  switch (isa) {
    case RenderIsa::Avx2:
      return "avx2";
    case RenderIsa::Avx512:
      return "avx512";
    default:
      return "portable";
  }
}

RenderVariant BestRenderVariant() {
  for (RenderIsa isa : {RenderIsa::Avx512, RenderIsa::Avx2}) {
    if (RenderIsaAvailable(isa)) return {isa, 2};
  }
  return {RenderIsa::Portable, 2};
}

RenderVariant CurrentRenderVariant() {
  int packed = chosen.load(std::memory_order_relaxed);
  if (packed == 0) {
    packed = Pack(VariantFromEnvironment());
    chosen.store(packed, std::memory_order_relaxed);
  }
  return Unpack(packed);
}

bool SetRenderVariant(RenderVariant variant) {
  if (!RenderIsaAvailable(variant.isa) || (variant.threads != 1 && variant.threads != 2)) return false;
  chosen.store(Pack(variant), std::memory_order_relaxed);
  return true;
}

}  // namespace velta
