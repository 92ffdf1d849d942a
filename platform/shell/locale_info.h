#pragma once
// Locale facts the application asks for, taken from the C library's locale of the environment
// (LC_ALL, LC_MESSAGES / LC_TIME, LANG) without changing the process's own locale, so that
// number formatting everywhere stays that of the "C" locale.
#include <string>

#include "platform/base/types.h"

namespace lumora::plat {

using LCTYPE = DWORD;
inline constexpr LCTYPE LOCALE_SABBREVLANGNAME = 0x00000003;  // ISO 639-2 three letters, "deu"
inline constexpr LCTYPE LOCALE_SDATE = 0x0000001D;            // date separator, "/"
inline constexpr LCTYPE LOCALE_STIME = 0x0000001E;            // time separator, ":"
inline constexpr LCTYPE LOCALE_IDATE = 0x00000021;            // "0" month-day-year, "1" day-month-year, "2" year-month-day
inline constexpr LCTYPE LOCALE_SISO639LANGNAME = 0x00000059;  // ISO 639-1 two letters, "de"

// The text of one fact, or an empty string when the locale does not tell it (the application
// then uses its own fallback).
std::string GetLocaleInfo(LCTYPE type);

// The facts with the application's fallbacks applied: language "en", date order "1", date
// separator "/", time separator ":".
struct LocaleFacts {
  std::string language;        // two letters, lower case
  std::string date_order;      // "0", "1" or "2"
  std::string date_separator;
  std::string time_separator;
};
LocaleFacts GetLocaleFacts();

// Date order and separators from strftime formats such as "%d.%m.%Y" or "%H:%M:%S" ("%D", "%F",
// "%T", "%R" are expanded). False when the format names no day, month and year.
bool ParseDateFormat(const std::string& fmt, std::string* order, std::string* separator);
bool ParseTimeFormat(const std::string& fmt, std::string* separator);
// The language part of a locale name: "de_DE.UTF-8@euro" gives "de"; "C" and "POSIX" give "en".
std::string LanguageOfLocaleName(const std::string& name);

}  // namespace lumora::plat
