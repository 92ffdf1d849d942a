#include "app/browser/detail_texts.h"

#include <cstdio>
#include <ctime>

namespace lumora::app {

SizeParts size_parts(int64_t bytes) {
  // Binary multiples, as the phone's own file lists count them.
  constexpr int64_t kKb = 1024, kMb = kKb * 1024, kGb = kMb * 1024;
  char buf[32];
  if (bytes < kKb) {
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(bytes));
    return {buf, 0};
  }
  const int unit = bytes < kMb ? 1 : bytes < kGb ? 2 : 3;
  const double divisor = unit == 1 ? double(kKb) : unit == 2 ? double(kMb) : double(kGb);
  std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(bytes) / divisor);
  return {buf, unit};
}

std::string size_text(int64_t bytes, const SizeUnits& units) {
  SizeParts p = size_parts(bytes);
  const std::string* unit[] = {&units.bytes, &units.kb, &units.mb, &units.gb};
  return p.number + " " + *unit[p.unit];
}

std::string date_text_of(int year, int month, int day, int hour, int minute, int second,
                         const plat::LocaleFacts& locale) {
  int f[3];
  if (locale.date_order == "0") {
    f[0] = month, f[1] = day, f[2] = year;
  } else if (locale.date_order == "2") {
    f[0] = year, f[1] = month, f[2] = day;
  } else {
    f[0] = day, f[1] = month, f[2] = year;
  }
  const std::string& ds = locale.date_separator;
  char buf[32];
  std::string text;
  for (int i = 0; i < 3; ++i) {
    std::snprintf(buf, sizeof buf, "%02d", f[i]);
    if (i) text += ds;
    text += buf;
  }
  // A file stamped exactly at midnight carries a date only (copied or made by date-only tools).
  if (hour == 0 && minute == 0 && second == 0) return text;
  std::snprintf(buf, sizeof buf, " %02d", hour);
  text += buf;
  text += locale.time_separator;
  std::snprintf(buf, sizeof buf, "%02d", minute);
  text += buf;
  return text;
}

std::string date_text(int64_t time_ns, const plat::LocaleFacts& locale) {
  int64_t seconds = time_ns / 1000000000;
  if (time_ns % 1000000000 < 0) --seconds;  // whole seconds towards the past
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return {};
  return date_text_of(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, locale);
}

const plat::LocaleFacts& date_locale() {
  static const plat::LocaleFacts facts = plat::GetLocaleFacts();
  return facts;
}

std::string dimensions_text(const FileItem& item) {
  if (!item.info_known) return {};
  const PictureFacts& f = item.facts;
  const int bits = f.bits_per_sample * f.samples_per_pixel;
  char buf[64];
  if (bits < 24)
    std::snprintf(buf, sizeof buf, "%ux%u,%u", f.width, f.height, 1u << bits);
  else
    std::snprintf(buf, sizeof buf, "%ux%u,16M", f.width, f.height);
  return buf;
}

std::string format_text(const FileItem& item) {
  if (!item.info_known) return {};
  const char* name = format_name(item.facts.format_index);
  std::string text = name ? name : "";
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return text;
}

std::array<std::string, 4> details_texts(const FileItem& item, const SizeUnits& units,
                                         const plat::LocaleFacts& locale) {
  return {dimensions_text(item), format_text(item), size_text(item.size, units),
          date_text(item.write_time_ns, locale)};
}

}  // namespace lumora::app
