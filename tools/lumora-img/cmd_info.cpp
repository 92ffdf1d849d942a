// lumora-img info: the description of each file, read with load_info, as text blocks or JSON.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"

namespace {

void print_help(FILE* out) {
  std::fputs(
      "usage: lumora-img info [--json] [--quiet] FILE...\n"
      "Prints each file's description (format, size, samples, resolution, compression, colour\n"
      "model, comment and text lines) without decoding its pixels.\n\n"
      "  --json     a JSON array of objects with the same keys\n"
      "  --quiet    no progress line\n",
      out);
}

// One field of a block: a number or a text.
struct Field {
  const char* key;
  std::string text;
  bool number;
};

// Texts from files are 8-bit; JSON must be valid UTF-8.
std::string json_escape(const std::string& s) {
  const std::string literal = cli::json_string(cli::to_utf8(s));
  return literal.substr(1, literal.size() - 2);
}

std::vector<Field> fields_of(const std::string& file, const lumora::FileInfo& info) {
  const char* format = lumora::format_name(info.format_index);
  char compression[64];
  lumora::compression_text(compression, sizeof compression, info.compression, info.compression_text);
  const char* model = lumora::color_model_name(info.color_model);
  std::vector<Field> f = {
      {"file", file, false},
      {"format", format ? format : "", false},
      {"description", info.description, false},
      {"width", std::to_string(info.width), true},
      {"height", std::to_string(info.height), true},
      {"bits_per_sample", std::to_string(info.bits_per_sample), true},
      {"samples_per_pixel", std::to_string(info.samples_per_pixel), true},
      {"image_count", std::to_string(info.image_count), true},
      {"xdpi", std::to_string(info.xdpi), true},
      {"ydpi", std::to_string(info.ydpi), true},
      {"compression", compression, false},
      {"color_model", model ? model : "", false},
  };
  if (info.comment) f.push_back({"comment", info.comment, false});
  return f;
}

void print_block(const std::vector<Field>& fields, const lumora::FileInfo& info) {
  for (const Field& f : fields) std::printf("%s: %s\n", f.key, f.text.c_str());
  for (uint32_t i = 0; i < info.text_count; ++i)
    if (info.text_lines[i]) std::printf("text: %s\n", info.text_lines[i]);
}

void print_json(const std::vector<Field>& fields, const lumora::FileInfo& info, bool first) {
  std::fputs(first ? "\n  {" : ",\n  {", stdout);
  bool comma = false;
  for (const Field& f : fields) {
    std::printf(f.number ? "%s\"%s\": %s" : "%s\"%s\": \"%s\"", comma ? ", " : "", f.key,
                f.number ? f.text.c_str() : json_escape(f.text).c_str());
    comma = true;
  }
  std::fputs(", \"text\": [", stdout);
  for (uint32_t i = 0; i < info.text_count; ++i)
    std::printf("%s\"%s\"", i ? ", " : "", json_escape(info.text_lines[i] ? info.text_lines[i] : "").c_str());
  std::fputs("]}", stdout);
}

}  // namespace

int cmd_info(int argc, char** argv) {
  bool json = false, quiet = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      print_help(stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--json")) {
      json = true;
    } else if (!std::strcmp(argv[i], "--quiet")) {
      quiet = true;
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      return cli::usage_error(std::string("info: unknown option '") + argv[i] + "'");
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) return cli::usage_error("info: no FILE given (see lumora-img info --help)");

  const uint32_t flags = cli::kLoadFlags | lumora::kLoadKeepComment | lumora::kLoadKeepText;
  int exit_status = 0;
  bool first = true;
  cli::Progress progress(static_cast<int>(files.size()), quiet || files.size() < 2);
  if (json) std::fputs("[", stdout);
  for (const std::string& file : files) {
    lumora::FileInfo info{};
    const int status = lumora::load_info(file.c_str(), -1, flags, &info);
    progress.step(file);
    if (status != 0) {
      cli::report_failure(file, status, info.message);
      exit_status = cli::exit_for_status(status);
      lumora::file_info_free(&info);
      continue;
    }
    const std::vector<Field> fields = fields_of(file, info);
    if (json) {
      print_json(fields, info, first);
    } else {
      if (!first) std::fputs("\n", stdout);
      print_block(fields, info);
    }
    first = false;
    lumora::file_info_free(&info);
  }
  if (json) std::fputs(first ? "]\n" : "\n]\n", stdout);
  return exit_status;
}
