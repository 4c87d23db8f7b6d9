// The question "has this job been cancelled?", asked by long page work.
#pragma once

#if __has_include("render/cancel_check.h")
#include "render/cancel_check.h"
#else

namespace velta {

// A callback that the page work polls at safe points; an empty one never
// cancels. The filter polls its SIGTERM flag through it, a printer application
// its job state.
struct CancelCheck {
  bool (*poll)(void*) = nullptr;
  void* context = nullptr;

  // True when the job has been cancelled.
  bool operator()() const { return poll != nullptr && poll(context); }
};

}  // namespace velta

#endif
