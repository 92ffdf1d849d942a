// lumora-img thumbs: the browser's thumbnail of each picture, written as small picture files.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/resample.h"
#include "imagelib/thumbcache/thumb_cache.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxJobs = 256;

struct ThumbOptions {
  int width = 46;
  int height = 46;
  bool smooth = false;
  bool embedded = true;
  bool quiet = false;
  bool cache = false;
  int jobs = 1;
  std::string out_dir;
  std::string format;       // short name; empty = png, or a fallback when png cannot be written
  std::vector<std::string> inputs;
};

void print_help(FILE* out) {
  std::fputs(
      "usage: lumora-img thumbs [OPTIONS] -o OUTDIR FILE|DIR...\n"
      "Makes the browser's thumbnail of each picture (a folder stands for its picture files, not\n"
      "recursive) and writes it as OUTDIR/NAME.png, NAME being the file name without extension.\n\n"
      "  -o, --output OUTDIR  folder for the thumbnails (created when missing)\n"
      "  --size WxH           box the thumbnail fits in (default 46x46)\n"
      "  --smooth             reduce by averaging instead of picking pixels\n"
      "  --no-embedded        never use the thumbnail stored inside the file\n"
      "  --format NAME        write with another format's writer (a short name such as bmp)\n"
      "  --cache              use and fill the shared thumbnail cache of the desktop\n"
      "                       ($XDG_CACHE_HOME/thumbnails, freedesktop.org standard)\n"
      "  --jobs N             work on N files at once (default 1)\n"
      "  --quiet              no progress line\n\n"
      "A file that is damaged or ends early still gives its thumbnail, with a warning on standard\n"
      "error; the exit status is then 2 unless a file failed.\n\n"
      "With --cache (boxes up to 256x256) a valid cached thumbnail is read instead of the picture;\n"
      "otherwise the picture is reduced to the cache's 128 (or 256) pixel size, stored there unless\n"
      "it came from the file's embedded Exif thumbnail (cheaper to read again), then fitted to the\n"
      "box. Files that cannot be read are recorded in the cache's fail folder and reported as\n"
      "unreadable (status 2) until they change. A cache that cannot be written is skipped.\n",
      out);
}

// 0 = parsed, 1 = usage error (already reported), 2 = help printed.
int parse(int argc, char** argv, ThumbOptions* o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        cli::usage_error(std::string("thumbs: ") + name + " needs a value");
        return nullptr;
      }
      return argv[++i];
    };
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      print_help(stdout);
      return 2;
    } else if (!std::strcmp(a, "-o") || !std::strcmp(a, "--output")) {
      const char* v = value(a);
      if (!v) return 1;
      o->out_dir = v;
    } else if (!std::strcmp(a, "--size")) {
      const char* v = value(a);
      if (!v) return 1;
      if (!cli::parse_size(v, &o->width, &o->height)) {
        cli::usage_error(std::string("thumbs: bad size '") + v + "' (expected WxH)");
        return 1;
      }
    } else if (!std::strcmp(a, "--smooth")) {
      o->smooth = true;
    } else if (!std::strcmp(a, "--cache")) {
      o->cache = true;
    } else if (!std::strcmp(a, "--no-embedded")) {
      o->embedded = false;
    } else if (!std::strcmp(a, "--format")) {
      const char* v = value(a);
      if (!v) return 1;
      o->format = v;
    } else if (!std::strcmp(a, "--jobs") || !std::strcmp(a, "-j")) {
      const char* v = value(a);
      if (!v) return 1;
      auto n = cli::parse_long(v, 1, kMaxJobs);
      if (!n) {
        cli::usage_error(std::string("thumbs: bad job count '") + v + "'");
        return 1;
      }
      o->jobs = static_cast<int>(*n);
    } else if (!std::strcmp(a, "--quiet") || !std::strcmp(a, "-q")) {
      o->quiet = true;
    } else if (a[0] == '-' && a[1] != '\0') {
      cli::usage_error(std::string("thumbs: unknown option '") + a + "'");
      return 1;
    } else {
      o->inputs.emplace_back(a);
    }
  }
  if (o->out_dir.empty()) {
    cli::usage_error("thumbs: the output folder is missing (-o OUTDIR)");
    return 1;
  }
  if (o->inputs.empty()) {
    cli::usage_error("thumbs: no FILE or DIR given");
    return 1;
  }
  return 0;
}

bool has_writer(int index) {
  const lumora::FormatEntry* row = lumora::format_entry(index);
  return row && row->writer;
}

// The writer to use: --format when given, else png, else the first writer that takes any picture.
int choose_writer(const std::string& name) {
  if (!name.empty()) {
    const int index = lumora::format_find(name.c_str());
    if (index < 0) {
      cli::usage_error("thumbs: unknown format '" + name + "'");
      return -1;
    }
    if (!has_writer(index)) {
      cli::usage_error("thumbs: format '" + name + "' has no writer");
      return -1;
    }
    return index;
  }
  const int png = lumora::format_find("png");
  if (png >= 0 && has_writer(png)) return png;
  // Rows without a capabilities function accept every picture; prefer those.
  const lumora::FormatRegistry& registry = lumora::format_registry();
  int fallback = -1;
  for (int i = 0; i < registry.count && fallback < 0; ++i)
    if (registry.rows[i].writer && !registry.rows[i].capabilities) fallback = i;
  for (int i = 0; i < registry.count && fallback < 0; ++i)
    if (registry.rows[i].writer) fallback = i;
  if (fallback < 0) {
    cli::usage_error("thumbs: this build has no picture writer at all");
    return -1;
  }
  std::fprintf(stderr, "lumora-img: thumbs: the png writer is not available; writing %s files instead\n",
               lumora::format_name(fallback));
  return fallback;
}

// Expands folders into their picture files (extension known to the registry), sorted by name.
std::vector<std::string> expand_inputs(const std::vector<std::string>& inputs) {
  std::vector<std::string> files;
  for (const std::string& in : inputs) {
    std::error_code ec;
    if (!fs::is_directory(in, ec)) {
      files.push_back(in);
      continue;
    }
    std::vector<std::string> found;
    for (fs::directory_iterator it(in, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code type_ec;
      if (!it->is_regular_file(type_ec)) continue;
      const std::string path = it->path().string();
      if (lumora::format_extension_known(path.c_str())) found.push_back(path);
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

std::string output_path(const ThumbOptions& o, const std::string& input, int format_index) {
  const lumora::FormatEntry* row = lumora::format_entry(format_index);
  const char* ext = row && row->extensions[0] ? row->extensions[0] : "out";
  return (fs::path(o.out_dir) / fs::path(input).stem()).string() + "." + ext;
}

// Fits a loaded picture into the box as the load pipeline does (aspect kept, sides rounded).
int fit_to_box(lumora::Bitmap* b, int box_w, int box_h, bool smooth) {
  if (b->width <= box_w && b->height <= box_h) return lumora::kStatusOk;
  int32_t h = static_cast<int32_t>(static_cast<double>(box_w) * b->height / b->width + 0.5);
  int32_t w = box_w;
  if (h > box_h) {
    w = static_cast<int32_t>(static_cast<double>(box_h) * b->width / b->height + 0.5);
    h = box_h;
  }
  w = std::max<int32_t>(1, w);
  h = std::max<int32_t>(1, h);
  // Palette pictures become colour in the tool's component order.
  const uint16_t colour = cli::kComponentOrder == 1 ? lumora::kPixBGR : lumora::kPixRGB;
  int status = smooth ? lumora::resample_shrink(b, nullptr, w, h, colour)
                      : lumora::resample_nearest(b, nullptr, w, h);
  if (status == lumora::kStatusBadArguments) status = lumora::resample_nearest(b, nullptr, w, h);
  return status;
}

// Statuses that say the file itself cannot be read (not a passing shortage or a cancel).
bool unreadable(int status) {
  switch (status & 0xFFFF) {
    case lumora::kStatusNotRecognised:
    case lumora::kStatusFileEndsEarly:
    case lumora::kStatusImpossible:
    case lumora::kStatusCorrupt:
      return true;
    default:
      return false;
  }
}

// The browser's picture loader in thumbnail mode, through the shared cache with --cache.
// Returns the library status; `accepted_status` receives the load's own status when an
// incomplete picture was accepted.
int load_thumbnail(const ThumbOptions& o, const std::string& input, lumora::Bitmap* bitmap,
                   std::string* message, int* accepted_status) {
  lumora::LoadParams params;
  lumora::load_params_init(&params);
  params.component_order = cli::kComponentOrder;
  params.alignment = cli::kAlignment;
  params.flags = cli::kLoadFlags | lumora::kLoadQuick;
  params.reduce_mode = o.smooth ? lumora::kReduceAverage : lumora::kReduceNearest;
  params.max_width = o.width;
  params.max_height = o.height;
  params.use_embedded = o.embedded ? 1 : 0;
  const int flavour = o.cache ? lumora::thumb_cache_flavour_size(std::max(o.width, o.height)) : 0;
  if (flavour) {
    if (lumora::thumb_cache_failed(input.c_str())) {
      *message = "recorded as unreadable in the thumbnail cache";
      return lumora::kStatusNotRecognised;
    }
    if (lumora::thumb_cache_lookup(input.c_str(), flavour, bitmap, &params) == lumora::kStatusOk)
      return lumora::kStatusOk;
    params.max_width = params.max_height = flavour;
  }
  lumora::FileInfo info{};
  int status = lumora::load_image(input.c_str(), bitmap, &params, &info);
  *message = info.message;
  *accepted_status = info.accepted_status;
  const bool embedded = info.reader_flag == 1;
  lumora::file_info_free(&info);
  if (!flavour) return status;
  if ((status & 0xFFFF) != 0) {
    if (unreadable(status)) lumora::thumb_cache_mark_failed(input.c_str());
    return status;
  }
  // A partial picture is not the file's thumbnail; an embedded one is cheaper to read again.
  // A cache that cannot be written changes nothing for the caller.
  if (!embedded && *accepted_status == 0) lumora::thumb_cache_store(input.c_str(), bitmap);
  return fit_to_box(bitmap, o.width, o.height, o.smooth);
}

// The thumbnail, then the save.
int make_thumbnail(const ThumbOptions& o, const std::string& input, int format_index,
                   std::string* message, int* accepted_status) {
  lumora::Bitmap bitmap{};
  int status = load_thumbnail(o, input, &bitmap, message, accepted_status);
  if ((status & 0xFFFF) != 0) {
    lumora::bitmap_free(&bitmap);
    return status;
  }
  lumora::SaveParams save;
  lumora::save_params_init(&save);
  save.format_index = static_cast<int16_t>(format_index);
  save.write_exif = 0;  // a thumbnail carries no metadata of its own
  save.write_iptc = 0;
  status = lumora::save_image(output_path(o, input, format_index).c_str(), &bitmap, &save);
  lumora::bitmap_free(&bitmap);
  return status;
}

}  // namespace

int cmd_thumbs(int argc, char** argv) {
  ThumbOptions o;
  if (int rc = parse(argc, argv, &o)) return rc == 2 ? 0 : cli::kExitUsage;
  const int format_index = choose_writer(o.format);
  if (format_index < 0) return cli::kExitUsage;
  std::error_code ec;
  fs::create_directories(o.out_dir, ec);
  if (!fs::is_directory(o.out_dir, ec)) {
    cli::report_failure(o.out_dir, lumora::kStatusCannotCreate);
    return cli::exit_for_status(lumora::kStatusCannotCreate);
  }

  const std::vector<std::string> files = expand_inputs(o.inputs);
  std::vector<int> statuses(files.size(), 0);
  bool incomplete = false;  // some thumbnail came from a damaged file (guarded by report_lock)
  {
    std::atomic<size_t> next{0};
    std::mutex report_lock;
    cli::Progress progress(static_cast<int>(files.size()), o.quiet);  // cleared at the block's end
    auto work = [&] {
      for (size_t i = next++; i < files.size(); i = next++) {
        std::string message;
        int accepted_status = 0;
        const int status = make_thumbnail(o, files[i], format_index, &message, &accepted_status);
        statuses[i] = status;
        std::lock_guard<std::mutex> hold(report_lock);
        if ((status & 0xFFFF) != 0) cli::report_failure(files[i], status, message);
        else if (cli::report_incomplete(files[i], accepted_status, message) != 0) incomplete = true;
        progress.step(fs::path(files[i]).filename().string());
      }
    };
    const int jobs = std::min<int>(o.jobs, std::max<int>(1, static_cast<int>(files.size())));
    std::vector<std::thread> threads;
    try {
      for (int j = 1; j < jobs; ++j) threads.emplace_back(work);
    } catch (const std::system_error&) {
      // Fewer threads than asked for: the ones running (and this one) share the files.
    }
    work();
    for (std::thread& t : threads) t.join();
  }

  int failed = 0;
  int exit_status = 0;
  for (int status : statuses) {
    if ((status & 0xFFFF) == 0) continue;
    ++failed;
    exit_status = cli::exit_for_status(status);  // the last failure in input order decides
  }
  std::fprintf(stderr, "%d thumbnails, %d failed\n", static_cast<int>(files.size()) - failed, failed);
  // A failure decides over a warning.
  return exit_status != 0 ? exit_status : incomplete ? cli::kExitIncomplete : 0;
}
