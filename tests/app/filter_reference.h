// The filter run directly on a raster: the reference for the app's bytes.
#pragma once

#include <string>

namespace velta::apptest {

// Writes a PPD that declares the eleven picture options with the app's
// defaults (numbers 0, flags false), so that the filter reads job options.
bool WriteReferencePpd(const std::string& path);

// Runs rastertovelta on raster_file with the job option string options and the
// PPD ppd; returns its standard output (the printer bytes), status written.
std::string RunFilter(const std::string& filter_binary, const std::string& ppd, const std::string& options,
                      const std::string& raster_file, int& status);

}  // namespace velta::apptest
