// The program's command line.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/system/system.h"

namespace lumora::plat {

namespace {

bool parse_int(const char* s, int lo, int hi, int* out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, Options* opts, std::string* path, std::string* error) {
  auto fail = [&](const std::string& m) {
    if (error) *error = m;
    return false;
  };
  if (!opts) return fail("no options record");
  if (path) path->clear();
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    if (a == "--headless") {
      opts->headless = true;
      opts->quit_after_script = true;
    } else if (a == "--fullscreen") {
      opts->fullscreen = true;
    } else if (a == "--screen") {
      const char* v = value("--screen");
      int w = 0, h = 0;
      const char* x = v ? std::strchr(v, 'x') : nullptr;
      if (!x) return fail("--screen needs WIDTHxHEIGHT");
      std::string ws(v, x);
      if (!parse_int(ws.c_str(), 16, 8192, &w) || !parse_int(x + 1, 16, 8192, &h))
        return fail("--screen needs WIDTHxHEIGHT between 16 and 8192");
      opts->screen_width = w, opts->screen_height = h;
    } else if (a == "--dpi") {
      if (!parse_int(value("--dpi"), 48, 600, &opts->dpi)) return fail("--dpi needs a number from 48 to 600");
      opts->dpi_given = true;
    } else if (a == "--depth") {
      int d = 0;
      if (!parse_int(value("--depth"), 16, 24, &d) || (d != 16 && d != 24)) return fail("--depth must be 16 or 24");
      opts->depth = d;
    } else if (a == "--scale") {
      if (!parse_int(value("--scale"), 1, 16, &opts->scale)) return fail("--scale needs a number from 1 to 16");
    } else if (a == "--config-dir") {
      const char* v = value("--config-dir");
      if (!v || !*v) return fail("--config-dir needs a folder");
      opts->config_dir = v;
    } else if (a == "--keys") {
      const char* v = value("--keys");
      if (!v) return fail("--keys needs a key script");
      if (v[0] == '@') {
        std::ifstream in(v + 1);
        if (!in) return fail(std::string("cannot read the key script ") + (v + 1));
        std::stringstream ss;
        ss << in.rdbuf();
        opts->keys = ss.str();
      } else {
        opts->keys = v;
      }
    } else if (a == "--screenshot") {
      const char* v = value("--screenshot");
      if (!v || !*v) return fail("--screenshot needs a file name");
      opts->screenshot = v;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      return fail("unknown option " + a);
    } else {
      if (path && !path->empty()) return fail("more than one path given");
      if (path) *path = a;
    }
  }
  return true;
}

}  // namespace lumora::plat
