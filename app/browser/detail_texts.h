#pragma once
// The texts of the details view's columns: dimensions, format, size and date of a file.
#include <array>
#include <cstdint>
#include <string>

#include "app/browser/file_item.h"
#include "app/shell/language.h"
#include "app/shell/resource.h"
#include "platform/shell/locale_info.h"

namespace lumora::app {

// The unit words of sizes, from the language table at the call site.
struct SizeUnits {
  std::string bytes, kb, mb, gb;
};
inline SizeUnits size_units_from_language() {
  return {load_string(IDS_BYTES), load_string(IDS_KB), load_string(IDS_MB), load_string(IDS_GB)};
}

// A size as a number and the index of its unit (0 bytes, 1 Kb, 2 Mb, 3 Gb): whole bytes below
// 1024, otherwise two decimals of the largest unit (binary multiples) that keeps the number >= 1.
struct SizeParts {
  std::string number;
  int unit = 0;
};
SizeParts size_parts(int64_t bytes);
// "number unit", as the size column shows it.
std::string size_text(int64_t bytes, const SizeUnits& units);

// Calendar fields in the locale's order and separators: "dd/mm/yyyy" (order "1"), "mm/dd/yyyy"
// ("0"), "yyyy/mm/dd" ("2"), followed by " hh:mm" unless the time is exactly midnight.
std::string date_text_of(int year, int month, int day, int hour, int minute, int second,
                         const plat::LocaleFacts& locale);
// A modification time (nanoseconds since 1970 UTC) in local time; "" when it cannot be converted.
std::string date_text(int64_t time_ns, const plat::LocaleFacts& locale);
// The user's locale facts, read once for the life of the process.
const plat::LocaleFacts& date_locale();

// "WxH,colours" ("16M" from 24 bits per pixel on), or "" while the facts are not known.
std::string dimensions_text(const FileItem& item);
// The format's short name in upper case, or "" while the facts are not known.
std::string format_text(const FileItem& item);

// Columns 1 to 4 of the details view (column 0 is the name).
std::array<std::string, 4> details_texts(const FileItem& item, const SizeUnits& units,
                                         const plat::LocaleFacts& locale);

}  // namespace lumora::app
