#pragma once

namespace velta {

// A question the renderer asks once per row: has the job been cancelled?
// The filter points it at its SIGTERM flag; an empty check never cancels.
struct CancelCheck {
  bool (*poll)(void* context) = nullptr;
  void* context = nullptr;

  // Returns true when the job asks the renderer to stop.
  bool operator()() const { return poll != nullptr && poll(context); }
};

}  // namespace velta
