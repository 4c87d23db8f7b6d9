// The value of one of the server sub-command's -o options.
#pragma once

#include <string>

#include <cups/cups.h>

namespace velta {

// The option's value, or fallback when it is not given or given empty.
inline std::string ServerOption(const char* name, int num_options, cups_option_t* options,
                                const std::string& fallback) {
  const char* value = cupsGetOption(name, num_options, options);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

}  // namespace velta
