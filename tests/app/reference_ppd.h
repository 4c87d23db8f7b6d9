// The printer description the filter runs with when it serves as the reference
// for the app's bytes.
#pragma once

#include <string>

namespace velta::apptest {

// Writes a PPD that declares the eleven picture options with the app's
// defaults (numbers 0, flags false), so that the filter reads job options.
bool WriteReferencePpd(const std::string& path);

}  // namespace velta::apptest
