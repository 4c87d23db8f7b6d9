// Which of the printer's two sheets a job asks for.
#include "filter/job_sheet.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <cups/cups.h>

namespace velta {

namespace {

// A sheet: its dots and its size in hundredths of a millimetre, as CUPS
// measures media. 598.1 pt is 21099 hundredths; 288 pt is 10160.
struct Sheet {
  uint32_t width, height;
  int size_width, size_length;
};
constexpr Sheet kSheets[] = {{1800, 2492, 15240, 21099}, {1800, 1200, 15240, 10160}};

// CUPS matches sizes within 176 hundredths of a millimetre (5 points).
bool Near(int a, int b) { return std::abs(a - b) < 176; }

// The sheet of size width x length (hundredths of mm), either way round.
const Sheet* SheetOfSize(int width, int length) {
  for (const Sheet& sheet : kSheets)
    if ((Near(width, sheet.size_width) && Near(length, sheet.size_length)) ||
        (Near(width, sheet.size_length) && Near(length, sheet.size_width)))
      return &sheet;
  return nullptr;
}

// Points to hundredths of a millimetre.
int FromPoints(float points) { return static_cast<int>(points * 2540.0f / 72.0f + 0.5f); }

// What a size name means: a sheet, a size that is no sheet, or no size at all.
enum class NameIs { Sheet, OtherSize, NotASize };

// Looks name up as a PPD choice, then as a name CUPS knows a size by.
NameIs LookUp(ppd_file_t* ppd, const std::string& name, const Sheet*& sheet) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (const ppd_size_t* size = ppd != nullptr ? ppdPageSize(ppd, name.c_str()) : nullptr) {
    sheet = SheetOfSize(FromPoints(size->width), FromPoints(size->length));
    return sheet != nullptr ? NameIs::Sheet : NameIs::OtherSize;
  }
#pragma GCC diagnostic pop
  // The PPD's earlier names, w432h598 and w432h288: width and length in points.
  float width = 0, length = 0;
  char end = 0;
  if (std::sscanf(name.c_str(), "w%fh%f%c", &width, &length, &end) == 2) {
    sheet = SheetOfSize(FromPoints(width), FromPoints(length));
    return sheet != nullptr ? NameIs::Sheet : NameIs::OtherSize;
  }
  pwg_media_t* media = pwgMediaForPWG(name.c_str());
  if (media == nullptr) media = pwgMediaForLegacy(name.c_str());
  if (media == nullptr) media = pwgMediaForPPD(name.c_str());
  if (media == nullptr) return NameIs::NotASize;
  sheet = SheetOfSize(media->width, media->length);
  return sheet != nullptr ? NameIs::Sheet : NameIs::OtherSize;
}

// The sizes the job names: its PageSize, then each word of its media (which
// may also name a type or a source).
std::vector<std::string> NamedSizes(int num_options, cups_option_t* options, bool& page_size_named) {
  std::vector<std::string> names;
  const char* page_size = cupsGetOption("PageSize", num_options, options);
  page_size_named = page_size != nullptr;
  if (page_size != nullptr) names.emplace_back(page_size);
  if (const char* media = cupsGetOption("media", num_options, options)) {
    std::string_view rest = media;
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      names.emplace_back(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
  }
  return names;
}

// The PPD's default sheet, or the 6x8 sheet.
SheetChoice DefaultSheet(ppd_file_t* ppd) {
  SheetChoice choice;
  if (ppd == nullptr) return choice;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ppdMarkDefaults(ppd);
  const ppd_size_t* size = ppdPageSize(ppd, nullptr);
#pragma GCC diagnostic pop
  const Sheet* sheet = size != nullptr ? SheetOfSize(FromPoints(size->width), FromPoints(size->length)) : nullptr;
  if (sheet != nullptr) choice.width = sheet->width, choice.height = sheet->height;
  return choice;
}

}  // namespace

SheetChoice ChooseSheet(ppd_file_t* ppd, int num_options, cups_option_t* options) {
  bool page_size_named = false;
  const std::vector<std::string> names = NamedSizes(num_options, options, page_size_named);
  std::string unknown;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Sheet* sheet = nullptr;
    const NameIs is = LookUp(ppd, names[i], sheet);
    if (is == NameIs::Sheet) return SheetChoice{sheet->width, sheet->height, {}, names[i]};
    // A PageSize that is no choice of the PPD names a size all the same.
    const bool a_size = is == NameIs::OtherSize || (i == 0 && page_size_named);
    if (a_size && unknown.empty()) unknown = names[i];
  }
  SheetChoice choice = DefaultSheet(ppd);
  choice.unknown = unknown;
  return choice;
}

}  // namespace velta
