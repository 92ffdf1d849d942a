// lumora-img exif: what the Properties dialog shows on its EXIF and IPTC pages, one line per
// callback call: "SECTION\tTAG\tNAME\tTEXT" for Exif and maker notes (a section header alone as
// "SECTION"), "IPTC\tDATASET\tNAME\tTEXT" for IPTC.
#include <cstdio>
#include <cstring>
#include <string>

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
      "usage: lumora-img exif FILE\n"
      "Prints the picture's Exif (with GPS and maker notes) and IPTC lines, fields separated by\n"
      "tabs: SECTION, TAG, NAME, TEXT for Exif (a section header alone as SECTION), and IPTC,\n"
      "DATASET, NAME, TEXT for IPTC. Texts are printed as UTF-8. Exits 0 also when the file\n"
      "has no metadata.\n",
      out);
}

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t utf8_sequence(const std::string& s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// The library's texts are 8-bit (Latin-1, the degree sign is 0xB0). Cameras that already wrote
// UTF-8 keep their text; everything else is converted byte by byte. Control characters become
// blanks so that one callback call stays one line.
std::string to_utf8(const char* text) {
  std::string s = text != nullptr ? text : "";
  bool valid = true;
  for (size_t i = 0; i < s.size() && valid;) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
    } else {
      size_t n = utf8_sequence(s, i);
      valid = n != 0;
      i += n;
    }
  }
  std::string out;
  out.reserve(s.size() + 8);
  for (size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) {
      out += ' ';
    } else if (c < 0x80 || valid) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void print_exif_line(void*, uint32_t section, uint32_t tag, const char* name, const char* text) {
  const char* title = lumora::exif_section_title(section);
  if (text == nullptr) {
    std::printf("%s\n", title);
    return;
  }
  std::printf("%s\t%u\t%s\t%s\n", title, tag, to_utf8(name).c_str(), to_utf8(text).c_str());
}

void print_iptc_line(void*, uint32_t dataset, const char* name, const char* text) {
  std::printf("IPTC\t%u\t%s\t%s\n", dataset, to_utf8(name).c_str(), to_utf8(text).c_str());
}

}  // namespace

int cmd_exif(int argc, char** argv) {
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      print_help(stdout);
      return 0;
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
  lumora::exif_enumerate(info.chunks, print_exif_line, nullptr);
  lumora::iptc_enumerate(info.chunks, print_iptc_line, nullptr);
  std::fflush(stdout);
  lumora::file_info_free(&info);
  return 0;
}
