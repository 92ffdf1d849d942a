// lumora-img convert: loads a picture, applies the picture operations, saves it in another format.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"
#include "tools/lumora-img/convert_ops.h"

namespace {

struct ConvertOptions {
  std::string format;  // short name, or empty: from OUT's extension
  int quality = 100;
  bool rle = false;
  bool interlace = false;
  bool no_exif = false;
  bool os2 = false;
  int page = 0;
  cli::ImageOps ops;
  std::string in, out;
};

void print_help(FILE* out) {
  std::fputs(
      "usage: lumora-img convert [OPTIONS] IN OUT\n"
      "Loads IN and saves it as OUT. The format is --format NAME or else found from OUT's\n"
      "extension. An existing OUT is replaced only when the save succeeds.\n\n"
      "  --format NAME        a short name of the format table (jpeg, png, gif, bmp, tga ...)\n"
      "  --quality N          quality of lossy writers, 0..100 (default 100)\n"
      "  --rle                run-length encoding (bitmap RLE4/RLE8, Targa)\n"
      "  --interlace          interlaced or progressive output where the format has it\n"
      "  --no-exif            do not write the picture's Exif block\n"
      "  --os2                bitmap writer: the OS/2 form\n"
      "  --page N             which picture of a multi-picture file (from 0)\n",
      out);
  std::fputs(cli::kImageOpsHelp, out);
  std::fputs("Operations apply in the order resize, rotate, tone, colours.\n"
             "A file that is damaged or ends early is still converted from what could be decoded,\n"
             "with a warning on standard error, and exit status 2.\n",
             out);
}

// 0 = parsed, 1 = usage error (already reported), 2 = help printed.
int parse(int argc, char** argv, ConvertOptions* o) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        cli::usage_error(std::string("convert: ") + name + " needs a value");
        return nullptr;
      }
      return argv[++i];
    };
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      print_help(stdout);
      return 2;
    } else if (!std::strcmp(a, "--format")) {
      const char* v = value(a);
      if (!v) return 1;
      o->format = v;
    } else if (!std::strcmp(a, "--quality")) {
      const char* v = value(a);
      if (!v) return 1;
      auto q = cli::parse_long(v, 0, 100);
      if (!q) return cli::usage_error(std::string("convert: bad quality '") + v + "' (0..100)");
      o->quality = static_cast<int>(*q);
    } else if (!std::strcmp(a, "--page")) {
      const char* v = value(a);
      if (!v) return 1;
      auto p = cli::parse_long(v, 0, 1000000);
      if (!p) return cli::usage_error(std::string("convert: bad page '") + v + "'");
      o->page = static_cast<int>(*p);
    } else if (!std::strcmp(a, "--rle")) {
      o->rle = true;
    } else if (!std::strcmp(a, "--interlace")) {
      o->interlace = true;
    } else if (!std::strcmp(a, "--no-exif")) {
      o->no_exif = true;
    } else if (!std::strcmp(a, "--os2")) {
      o->os2 = true;
    } else if (cli::is_image_op(a)) {
      const char* v = value(a);
      if (!v || !cli::parse_image_op(a, v, &o->ops)) return 1;
    } else if (a[0] == '-' && a[1]) {
      return cli::usage_error(std::string("convert: unknown option '") + a + "'");
    } else {
      args.emplace_back(a);
    }
  }
  if (args.size() != 2) return cli::usage_error("convert: needs IN and OUT (see lumora-img convert --help)");
  o->in = args[0];
  o->out = args[1];
  return 0;
}

// The registry row that writes OUT: by --format, else the first row with a writer that owns OUT's
// extension. -1 with `status` 8 when there is none.
int find_writer(const ConvertOptions& o, int* usage) {
  *usage = 0;
  if (!o.format.empty()) {
    int index = lumora::format_find(o.format.c_str());
    if (index < 0) *usage = 1;
    return index;
  }
  const lumora::FormatRegistry& reg = lumora::format_registry();
  for (int i = 0; i < reg.count; ++i)
    if (reg.rows[i].writer && lumora::format_has_extension(o.out.c_str(), i)) return i;
  for (int i = 0; i < reg.count; ++i)
    if (lumora::format_has_extension(o.out.c_str(), i)) return i;  // known, but no writer
  return -1;
}

bool is_colour(const lumora::Bitmap& b) { return (b.type & lumora::kMaskColor) != 0; }

}  // namespace

int cmd_convert(int argc, char** argv) {
  ConvertOptions o;
  if (int r = parse(argc, argv, &o)) return r == 2 ? 0 : cli::kExitUsage;

  int usage = 0;
  int format = find_writer(o, &usage);
  if (usage) return cli::usage_error("convert: unknown format '" + o.format + "'");
  const lumora::FormatEntry* row = lumora::format_entry(format);
  if (!row || !row->writer) {
    cli::report_failure(o.out, lumora::kStatusNoWriter);
    return cli::exit_for_status(lumora::kStatusNoWriter);
  }

  lumora::LoadParams lp;
  lumora::load_params_init(&lp);
  lp.component_order = cli::kComponentOrder;
  lp.alignment = cli::kAlignment;
  // The application's options, and the picture's comment and metadata blocks for the writer.
  lp.flags = cli::kLoadFlags | lumora::kLoadKeepComment | lumora::kLoadKeepChunks;
  lp.image_index = o.page;
  lumora::Bitmap picture{};
  lumora::FileInfo info{};
  int st = lumora::load_image(o.in.c_str(), &picture, &lp, &info);
  std::string message = info.message;
  const int accepted_status = info.accepted_status;
  lumora::file_info_free(&info);
  if (st) {
    cli::report_failure(o.in, st, message);
    return cli::exit_for_status(st);
  }
  const int incomplete = cli::report_incomplete(o.in, accepted_status, message);

  st = cli::apply_image_ops(&picture, o.ops);
  // A palette-only format gets 256 colours unless --colors chose otherwise.
  if (!st && !o.ops.colors && is_colour(picture) && !lumora::format_can_store(format, &picture, nullptr)) {
    cli::ImageOps reduce;
    reduce.colors = cli::ColorMode::kColors256;
    st = cli::apply_image_ops(&picture, reduce);
  }
  if (st) {
    cli::report_failure(o.in, st);
    lumora::bitmap_free(&picture);
    return cli::exit_for_status(st);
  }

  lumora::SaveParams sp;
  lumora::save_params_init(&sp);
  sp.format_index = static_cast<int16_t>(format);
  sp.quality = static_cast<uint16_t>(o.quality);
  sp.rle = o.rle ? 1 : 0;
  sp.interlaced = o.interlace ? 1 : 0;
  sp.write_exif = o.no_exif ? 0 : 1;
  sp.os2_bitmap = o.os2 ? 1 : 0;
  st = lumora::save_image(o.out.c_str(), &picture, &sp);
  lumora::bitmap_free(&picture);
  if (st) {
    cli::report_failure(o.out, st);
    return cli::exit_for_status(st);
  }
  return incomplete;
}
