// The printer description the filter runs with when it serves as the reference
// for the app's bytes.
#pragma once

#include <string>

namespace velta::apptest {

// Writes a PPD that declares the eleven picture options with the app's
// defaults (numbers 0, flags false), so that the filter reads job options.
bool WriteReferencePpd(const std::string& path);

// phototovelta's bytes for photo with copies and its options, on the shipped
// PPD; a failed run is a test failure.
std::string PhotoFilterBytes(const std::string& photo, int copies, const std::string& options);

}  // namespace velta::apptest
