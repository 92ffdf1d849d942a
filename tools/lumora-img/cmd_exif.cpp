// lumora-img exif: what the Properties dialog shows on its EXIF and IPTC pages, one line per
// callback call: "SECTION\tTAG\tNAME\tTEXT" for Exif and maker notes (a section header alone as
// "SECTION"), "IPTC\tDATASET\tNAME\tTEXT" for IPTC; or the same lines as a JSON array.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/iptc.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"

namespace {

void print_help(FILE* out) {
  std::fputs(
      "usage: lumora-img exif [--json] FILE\n"
      "Prints the picture's Exif (with GPS and maker notes) and IPTC lines, fields separated by\n"
      "tabs: SECTION, TAG, NAME, TEXT for Exif (a section header alone as SECTION), and IPTC,\n"
      "DATASET, NAME, TEXT for IPTC. Texts are printed as UTF-8. Exits 0 also when the file\n"
      "has no metadata.\n\n"
      "  --json     the same lines as a JSON array (UTF-8) of objects with the keys section, tag\n"
      "             (a number), name and value; a section header has the value null\n",
      out);
}

// One callback call.
struct Line {
  std::string section;
  uint32_t tag;
  std::string name;
  std::string value;
  bool header;  // a section header: no value
};

// The library's texts as UTF-8 on one line: control characters become blanks so that one
// callback call stays one line (also in the JSON form, which carries the same texts).
std::string one_line(const char* text) {
  std::string s = cli::to_utf8(text != nullptr ? text : "");
  for (char& c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return s;
}

void collect_exif_line(void* user, uint32_t section, uint32_t tag, const char* name, const char* text) {
  auto* lines = static_cast<std::vector<Line>*>(user);
  const char* title = lumora::exif_section_title(section);
  if (text == nullptr) lines->push_back({title, tag, one_line(title), {}, true});
  else lines->push_back({title, tag, one_line(name), one_line(text), false});
}

void collect_iptc_line(void* user, uint32_t dataset, const char* name, const char* text) {
  static_cast<std::vector<Line>*>(user)->push_back({"IPTC", dataset, one_line(name), one_line(text), false});
}

void print_text(const std::vector<Line>& lines) {
  for (const Line& l : lines) {
    if (l.header) std::printf("%s\n", l.section.c_str());
    else std::printf("%s\t%u\t%s\t%s\n", l.section.c_str(), l.tag, l.name.c_str(), l.value.c_str());
  }
}

void print_json(const std::vector<Line>& lines) {
  std::fputs("[", stdout);
  bool first = true;
  for (const Line& l : lines) {
    std::printf("%s\n  {\"section\": %s, \"tag\": %u, \"name\": %s, \"value\": %s}", first ? "" : ",",
                cli::json_string(l.section).c_str(), l.tag, cli::json_string(l.name).c_str(),
                l.header ? "null" : cli::json_string(l.value).c_str());
    first = false;
  }
  std::fputs(first ? "]\n" : "\n]\n", stdout);
}

}  // namespace

int cmd_exif(int argc, char** argv) {
  const char* file = nullptr;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      print_help(stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--json")) {
      json = true;
      continue;
    }
    if (argv[i][0] == '-' && argv[i][1] != '\0') return cli::usage_error(std::string("exif: unknown option ") + argv[i]);
    if (file != nullptr) return cli::usage_error("exif: one FILE only");
    file = argv[i];
  }
  if (file == nullptr) {
    print_help(stderr);
    return cli::kExitUsage;
  }
  lumora::FileInfo info{};
  int status = lumora::load_info(file, -1, cli::kLoadFlags | lumora::kLoadKeepChunks, &info);
  if ((status & 0xFFFF) != 0) {
    cli::report_failure(file, status, info.message);
    lumora::file_info_free(&info);
    return cli::exit_for_status(status);
  }
  std::vector<Line> lines;
  lumora::exif_enumerate(info.chunks, collect_exif_line, &lines);
  lumora::iptc_enumerate(info.chunks, collect_iptc_line, &lines);
  lumora::file_info_free(&info);
  if (json) print_json(lines);
  else print_text(lines);
  std::fflush(stdout);
  return 0;
}
