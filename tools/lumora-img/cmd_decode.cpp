// lumora-img decode: loads a picture with load_image and writes what the library decoded as a PAM
// file (netpbm P7, 8-bit samples, rows top to bottom). The PAM is written here, not by a writer.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"

namespace {

void print_help(FILE* out) {
  std::fputs(
      "usage: lumora-img decode [OPTIONS] FILE OUT.pam\n"
      "Loads FILE and writes the decoded picture as a PAM file: GRAYSCALE for bilevel and grey\n"
      "pictures, RGB for colour and palette pictures, RGB_ALPHA for 4-byte colour.\n\n"
      "  --page N                which picture of a multi-picture file (from 0)\n"
      "  --max WxH               maximum size of the decoded picture\n"
      "  --reduce nearest|average  how to reduce to the maximum size (default nearest)\n"
      "  --quick                 quick decoding (readers may decode reduced)\n"
      "  --embedded 0|1|2        with --quick, take a picture stored inside the file\n"
      "  --flags HEX             further load flags, ORed in\n"
      "  --alpha                 prefer 4-byte colour (keeps alpha)\n\n"
      "A file that is damaged or ends early still gives what could be decoded, with a warning on\n"
      "standard error, and exit status 2.\n",
      out);
}

struct DecodeOptions {
  lumora::LoadParams params;
  std::string in, out;
};

// 0 = parsed, 1 = usage error (already reported), 2 = help printed.
int parse(int argc, char** argv, DecodeOptions* o) {
  lumora::LoadParams& p = o->params;
  lumora::load_params_init(&p);
  p.component_order = cli::kComponentOrder;
  p.alignment = cli::kAlignment;
  uint32_t flags = cli::kLoadFlags;
  uint32_t extra = 0;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        cli::usage_error(std::string("decode: ") + a + " needs a value");
        return nullptr;
      }
      return argv[++i];
    };
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      print_help(stdout);
      return 2;
    } else if (!std::strcmp(a, "--page")) {
      const char* v = value();
      if (!v) return 1;
      auto n = cli::parse_long(v, 0, 0x7FFFFFFF);
      if (!n) return cli::usage_error(std::string("decode: bad page '") + v + "'");
      p.image_index = static_cast<int32_t>(*n);
    } else if (!std::strcmp(a, "--max")) {
      const char* v = value();
      if (!v) return 1;
      if (!cli::parse_size(v, &p.max_width, &p.max_height))
        return cli::usage_error(std::string("decode: bad size '") + v + "' (WxH)");
    } else if (!std::strcmp(a, "--reduce")) {
      const char* v = value();
      if (!v) return 1;
      if (!std::strcmp(v, "nearest")) p.reduce_mode = lumora::kReduceNearest;
      else if (!std::strcmp(v, "average")) p.reduce_mode = lumora::kReduceAverage;
      else return cli::usage_error(std::string("decode: bad reduce mode '") + v + "' (nearest|average)");
    } else if (!std::strcmp(a, "--quick")) {
      flags |= lumora::kLoadQuick;
    } else if (!std::strcmp(a, "--embedded")) {
      const char* v = value();
      if (!v) return 1;
      auto n = cli::parse_long(v, 0, 2);
      if (!n) return cli::usage_error(std::string("decode: bad embedded option '") + v + "' (0|1|2)");
      p.use_embedded = static_cast<uint8_t>(*n);
    } else if (!std::strcmp(a, "--flags")) {
      const char* v = value();
      if (!v) return 1;
      errno = 0;
      char* end = nullptr;
      unsigned long f = std::strtoul(v, &end, 16);
      if (errno || !*v || *end || f > 0xFFFFFFFFul)
        return cli::usage_error(std::string("decode: bad flags '") + v + "' (hexadecimal)");
      extra |= static_cast<uint32_t>(f);
    } else if (!std::strcmp(a, "--alpha")) {
      flags = (flags & ~lumora::kLoadPrefer3Byte) | lumora::kLoadPrefer4Byte;
    } else if (a[0] == '-' && a[1] == '-') {
      return cli::usage_error(std::string("decode: unknown option '") + a + "'");
    } else {
      args.push_back(a);
    }
  }
  if (args.size() != 2) return cli::usage_error("decode: needs FILE and OUT.pam (see lumora-img decode --help)");
  p.flags = flags | extra;
  o->in = args[0];
  o->out = args[1];
  return 0;
}

// One sample of a pixel as 8 bits (deep samples give their most significant byte).
uint8_t sample8(const uint8_t* px, int index, int bits_per_sample) {
  if (bits_per_sample == 16) {
    uint16_t v;
    std::memcpy(&v, px + index * 2, 2);
    return static_cast<uint8_t>(v >> 8);
  }
  if (bits_per_sample == 32) {
    uint32_t v;
    std::memcpy(&v, px + index * 4, 4);
    return static_cast<uint8_t>(v >> 24);
  }
  return px[index];
}

struct PamForm {
  int depth;
  const char* tuple_type;
};

PamForm form_of(const lumora::Bitmap& b) {
  using namespace lumora;
  if (b.type == kPixBilevel || b.type == kPixGrey) return {1, "GRAYSCALE"};
  if (b.type == kPixRGBA || b.type == kPixABGR || b.type == kPixBGRA || b.type == kPixARGB)
    return {4, "RGB_ALPHA"};
  return {3, "RGB"};
}

// Red, green, blue (and alpha) of pixel x of a stored row, in the PAM's order.
void pam_pixel(const lumora::Bitmap& b, const uint8_t* row, int32_t x, uint8_t* out) {
  using namespace lumora;
  const int bits = b.bits_per_sample > 8 ? b.bits_per_sample : 8;
  const uint8_t* px = row + static_cast<size_t>(x) * b.bytes_per_pixel;
  auto s = [&](int i) { return sample8(px, i, bits); };
  switch (b.type) {
    case kPixBilevel: out[0] = bit_get(row, x) ? 255 : 0; break;
    case kPixGrey: {
      uint8_t v = s(0);
      if (b.bits_per_sample <= 8 && b.colors >= 2 && b.colors < 256)
        v = static_cast<uint8_t>(std::min<int>(v, b.colors - 1) * 255 / (b.colors - 1));
      out[0] = v;
      break;
    }
    case kPixIndexed:
      out[0] = b.palette[kPalR + px[0]];
      out[1] = b.palette[kPalG + px[0]];
      out[2] = b.palette[kPalB + px[0]];
      break;
    case kPixRGB: out[0] = s(0); out[1] = s(1); out[2] = s(2); break;
    case kPixBGR: out[0] = s(2); out[1] = s(1); out[2] = s(0); break;
    case kPixRGBA: out[0] = s(0); out[1] = s(1); out[2] = s(2); out[3] = s(3); break;
    case kPixABGR: out[0] = s(3); out[1] = s(2); out[2] = s(1); out[3] = s(0); break;
    case kPixBGRA: out[0] = s(2); out[1] = s(1); out[2] = s(0); out[3] = s(3); break;
    case kPixARGB: out[0] = s(1); out[1] = s(2); out[2] = s(3); out[3] = s(0); break;
    case kPixCMYK: {
      // As the save pipeline turns inks into red, green, blue.
      const int k = 255 - s(3);
      out[0] = static_cast<uint8_t>(std::min(255, (255 - s(0)) * k / 255));
      out[1] = static_cast<uint8_t>((255 - s(1)) * k / 255);
      out[2] = static_cast<uint8_t>((255 - s(2)) * k / 255);
      break;
    }
    default: std::memset(out, 0, 4); break;
  }
}

// 0, or the library's write-error status.
int write_pam(const lumora::Bitmap& b, const std::string& path) {
  const PamForm form = form_of(b);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return lumora::kStatusCannotCreate;
  std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", b.width,
               b.height, form.depth, form.tuple_type);
  std::vector<uint8_t> line(static_cast<size_t>(b.width) * form.depth);
  const bool bottom_up = b.orientation & lumora::kOrientBottomUp;
  const bool mirrored = b.orientation & lumora::kOrientMirrored;
  bool ok = true;
  for (int32_t y = 0; y < b.height && ok; ++y) {
    const uint8_t* row = lumora::bitmap_row(&b, bottom_up ? b.height - 1 - y : y);
    uint8_t px[4];
    for (int32_t x = 0; x < b.width; ++x) {
      pam_pixel(b, row, mirrored ? b.width - 1 - x : x, px);
      std::memcpy(&line[static_cast<size_t>(x) * form.depth], px, form.depth);
    }
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  }
  if (std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::remove(path.c_str());
    return lumora::kStatusWriteError;
  }
  return 0;
}

}  // namespace

int cmd_decode(int argc, char** argv) {
  DecodeOptions o;
  const int parsed = parse(argc, argv, &o);
  if (parsed == 2) return 0;
  if (parsed) return cli::kExitUsage;
  lumora::Bitmap bitmap{};
  lumora::FileInfo info{};
  int status = lumora::load_image(o.in.c_str(), &bitmap, &o.params, &info);
  if (status != 0) {
    cli::report_failure(o.in, status, info.message);
    lumora::file_info_free(&info);
    return cli::exit_for_status(status);
  }
  const int incomplete = cli::report_incomplete(o.in, info.accepted_status, info.message);
  status = write_pam(bitmap, o.out);
  if (status != 0) cli::report_failure(o.out, status);
  lumora::bitmap_free(&bitmap);
  lumora::file_info_free(&info);
  return status != 0 ? cli::exit_for_status(status) : incomplete;
}
