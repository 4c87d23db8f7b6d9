// Documents the application's tests print: PDFs of plain coloured pages.
#pragma once

#include <string>

namespace velta::apptest {

// Writes a PDF of `pages` pages of width x height points, each a coloured
// frame with a dark box, its colours different on every page.
bool WritePdf(const std::string& path, int pages, double width, double height);

}  // namespace velta::apptest
