// lumora-img frames: loads every frame of an animated GIF with gif_load_frames and writes each
// full-canvas frame as OUTDIR/frame_NNN.pam (RGB_ALPHA, transparent pixels with alpha 0),
// printing "NNN<TAB>DELAY_MS" per frame.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/core/bitmap.h"
#include "imagelib/core/status.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"

namespace {

void print_help(FILE* out) {
  std::fputs(
      "usage: lumora-img frames FILE.gif OUTDIR\n"
      "Loads every frame of an animated GIF and writes OUTDIR/frame_NNN.pam (the full canvas,\n"
      "palette expanded, RGB_ALPHA with alpha 0 for transparent pixels). Prints one line per\n"
      "frame: its number and its delay in milliseconds, separated by a tab.\n",
      out);
}

// Writes one frame; false when the file cannot be written.
bool write_frame(const std::string& path, const lumora::Bitmap& b) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", b.width,
               b.height);
  std::vector<uint8_t> row(static_cast<size_t>(b.width) * 4);
  bool ok = true;
  for (int32_t y = 0; y < b.height && ok; ++y) {
    const uint8_t* src = lumora::bitmap_row(&b, y);
    for (int32_t x = 0; x < b.width; ++x) {
      const uint8_t v = src[x];
      uint8_t* px = &row[static_cast<size_t>(x) * 4];
      px[0] = b.palette[lumora::kPalR + v];
      px[1] = b.palette[lumora::kPalG + v];
      px[2] = b.palette[lumora::kPalB + v];
      px[3] = b.transparent_index >= 0 && v == b.transparent_index ? 0 : 255;
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int cmd_frames(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      print_help(stdout);
      return 0;
    }
    if (argv[i][0] == '-' && argv[i][1] == '-')
      return cli::usage_error(std::string("frames: unknown option '") + argv[i] + "'");
    args.push_back(argv[i]);
  }
  if (args.size() != 2) return cli::usage_error("frames: needs FILE.gif and OUTDIR (see lumora-img frames --help)");
  const std::string& file = args[0];
  const std::string& dir = args[1];
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
    return cli::usage_error("frames: cannot create folder '" + dir + "': " + std::strerror(errno));

  lumora::GifAnimation animation{};
  const int status = lumora::gif_load_frames(file.c_str(), &animation);
  int exit_status = 0;
  // Frames completed before a failure are still written.
  for (uint32_t i = 0; i < animation.frame_count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%03u.pam", i);
    const std::string path = dir + "/" + name;
    if (!write_frame(path, animation.frames[i].bitmap)) {
      cli::report_failure(path, lumora::kStatusWriteError);
      exit_status = cli::exit_for_status(lumora::kStatusWriteError);
      break;
    }
    std::printf("%03u\t%u\n", i, animation.frames[i].delay_ms);
  }
  lumora::gif_animation_free(&animation);
  if (status != lumora::kStatusOk) {
    cli::report_failure(file, status);
    exit_status = cli::exit_for_status(status);
  }
  return exit_status;
}
