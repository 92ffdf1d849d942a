// Locale facts through newlocale(3) and nl_langinfo_l(3), which read the environment's locale
// without touching the process-wide one.
#include "platform/shell/locale_info.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstdlib>

namespace lumora::plat {

namespace {

struct Locale {
  locale_t loc = newlocale(LC_ALL_MASK, "", nullptr);
  Locale() {
    // A locale the system does not have (LANG=de_DE.UTF-8 in a bare container) makes newlocale
    // fail as a whole; the categories it does have are still worth reading.
    if (!loc) loc = newlocale(LC_TIME_MASK, "", nullptr);
  }
  ~Locale() {
    if (loc) freelocale(loc);
  }
  std::string info(nl_item item) const { return loc ? nl_langinfo_l(item, loc) : ""; }
};

// The locale name the C library would take for a category, straight from the environment.
std::string env_locale_name(const char* category) {
  for (const char* var : {"LC_ALL", category, "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

std::string expand(const std::string& fmt) {
  std::string out;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%' || i + 1 >= fmt.size()) {
      out += fmt[i];
      continue;
    }
    char c = fmt[++i];
    // Flags and field widths of the GNU extensions ("%-d", "%02d", "%Ey") do not change the field.
    while (i + 1 < fmt.size() && (c == '-' || c == '_' || c == '0' || c == '^' || c == '#' || c == 'E' || c == 'O' ||
                                  std::isdigit(static_cast<unsigned char>(c))))
      c = fmt[++i];
    switch (c) {
      case 'D': out += "%m/%d/%y"; break;
      case 'F': out += "%Y-%m-%d"; break;
      case 'T': out += "%H:%M:%S"; break;
      case 'R': out += "%H:%M"; break;
      default: out += '%', out += c;
    }
  }
  return out;
}

// Positions and separator of the fields in an expanded format; field letters are mapped to one
// of the given kinds, others are skipped.
struct Fields {
  std::string kinds;      // in order of appearance
  std::string separator;  // text between the first two fields
};

Fields fields_of(const std::string& fmt, const std::string& letters, const std::string& kinds) {
  Fields f;
  std::string between;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] == '%' && i + 1 < fmt.size()) {
      char c = fmt[++i];
      size_t k = letters.find(c);
      if (k == std::string::npos) continue;
      if (f.kinds.size() == 1) f.separator = between;
      f.kinds += kinds[k];
      between.clear();
    } else if (!f.kinds.empty()) {
      between += fmt[i];
    }
  }
  return f;
}

}  // namespace

bool ParseDateFormat(const std::string& fmt, std::string* order, std::string* separator) {
  // d: day; m: month (also by name); y: year.
  Fields f = fields_of(expand(fmt), "demyYbBh", "ddmyymmm");
  if (f.kinds.size() < 3) return false;
  std::string first3 = f.kinds.substr(0, 3);
  if (first3 == "mdy") *order = "0";
  else if (first3 == "dmy") *order = "1";
  else if (first3 == "ymd") *order = "2";
  else return false;
  *separator = f.separator;
  return !separator->empty();
}

bool ParseTimeFormat(const std::string& fmt, std::string* separator) {
  Fields f = fields_of(expand(fmt), "HIkMl", "hhhmh");
  if (f.kinds.size() < 2 || f.separator.empty()) return false;
  *separator = f.separator;
  return true;
}

std::string LanguageOfLocaleName(const std::string& name) {
  if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return "en";
  size_t end = 0;
  while (end < name.size() && std::isalpha(static_cast<unsigned char>(name[end]))) ++end;
  if (end < 2 || end > 3) return {};
  std::string lang = name.substr(0, end);
  for (char& c : lang) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lang;
}

std::string GetLocaleInfo(LCTYPE type) {
  Locale l;
  std::string a, b;
  switch (type) {
    case LOCALE_SISO639LANGNAME: {
      std::string lang = LanguageOfLocaleName(env_locale_name("LC_MESSAGES"));
      return lang.size() == 2 ? lang : std::string();
    }
    case LOCALE_SABBREVLANGNAME:
#ifdef _NL_ADDRESS_LANG_TERM
      return l.info(_NL_ADDRESS_LANG_TERM);
#else
      return {};
#endif
    case LOCALE_IDATE: return ParseDateFormat(l.info(D_FMT), &a, &b) ? a : std::string();
    case LOCALE_SDATE: return ParseDateFormat(l.info(D_FMT), &a, &b) ? b : std::string();
    case LOCALE_STIME: return ParseTimeFormat(l.info(T_FMT), &a) ? a : std::string();
    default: return {};
  }
}

LocaleFacts GetLocaleFacts() {
  auto or_else = [](std::string v, const char* fallback) { return v.empty() ? std::string(fallback) : v; };
  LocaleFacts f;
  f.language = or_else(GetLocaleInfo(LOCALE_SISO639LANGNAME), "en");
  f.date_order = or_else(GetLocaleInfo(LOCALE_IDATE), "1");
  f.date_separator = or_else(GetLocaleInfo(LOCALE_SDATE), "/");
  f.time_separator = or_else(GetLocaleInfo(LOCALE_STIME), ":");
  return f;
}

}  // namespace lumora::plat
