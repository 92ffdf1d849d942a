// The browser's folder listing and the viewer's screen conversion.
//
//   build/<dir>/bench/bench_folder_list --benchmark_counters_tabular=true
//
// Listing: a folder of 10,000 files (9,000 pictures by name, 1,000 others), scanned from the
// directory entries and sorted by name, and the same items sorted again by each key.
// Conversion: a 4000 x 3000 colour picture, of which one 240 x 320 screen is converted per paint,
// at 1:1, at half size and fitted to the screen, into 16-bit (dithered 5-5-5) and 24-bit surfaces.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "app/browser/folder_list.h"
#include "app/browser/thumb_view.h"
#include "platform/controls/commctrl.h"
#include "platform/system/system.h"
#include "app/viewer/screen_conv.h"

namespace {

using namespace lumora;
using namespace lumora::app;
namespace fs = std::filesystem;

class BigFolder {
 public:
  BigFolder() {
    std::string t = (fs::temp_directory_path() / "lumora_bench_XXXXXX").string();
    if (!::mkdtemp(t.data())) return;
    path_ = t;
    std::mt19937 rng(3);
    for (int i = 0; i < 10000; ++i) {
      const char* ext = i % 10 == 9 ? ".txt" : (i % 3 ? ".jpg" : ".PNG");
      std::string name = path_ + "/IMG_" + std::to_string(rng() % 100000) + "_" + std::to_string(i) + ext;
      if (std::FILE* f = std::fopen(name.c_str(), "wb")) std::fclose(f);
    }
  }
  ~BigFolder() {
    if (!path_.empty()) fs::remove_all(path_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const BigFolder& big_folder() {
  static BigFolder folder;
  return folder;
}

void BM_ScanAndSort(benchmark::State& state) {
  library_start();
  const BigFolder& folder = big_folder();
  FolderList list;
  for (auto _ : state) {
    list.scan(folder.path());
    benchmark::DoNotOptimize(list.items().data());
  }
  state.counters["files"] = static_cast<double>(list.size());
  library_stop();
}
BENCHMARK(BM_ScanAndSort)->Unit(benchmark::kMillisecond);

// The platform's directory walk alone (readdir and one stat per entry for size and time), the
// floor under the scan.
void BM_ListFolderOnly(benchmark::State& state) {
  std::vector<lumora::plat::FolderEntry> entries;
  for (auto _ : state) lumora::plat::ListFolder(big_folder().path(), &entries);
  state.counters["files"] = static_cast<double>(entries.size());
}
BENCHMARK(BM_ListFolderOnly)->Unit(benchmark::kMillisecond);

void BM_Sort(benchmark::State& state) {
  library_start();
  FolderList list;
  list.scan(big_folder().path());
  const uint32_t key = static_cast<uint32_t>(state.range(0));
  uint32_t flip = 0;
  for (auto _ : state) {
    list.sort(key | flip);  // alternate directions so that every run really reorders
    flip ^= kSortDescending;
  }
  state.counters["files"] = static_cast<double>(list.size());
  library_stop();
}
BENCHMARK(BM_Sort)->DenseRange(kSortName, kSortResolution)->Unit(benchmark::kMillisecond);

// What the browser does when the folder is opened: scan and sort, the change watcher started on
// the folder, and every item with its size and date texts inserted into the list control (the
// thumbnail worker starts, then is stopped by the next browse). Headless platform, 240 x 320.
void BM_BrowseView(benchmark::State& state) {
  plat::Options o;
  o.headless = true;
  o.screen_width = 240;
  o.screen_height = 320;
  std::string err;
  if (!plat::Startup(o, &err)) {
    state.SkipWithError(err.c_str());
    return;
  }
  plat::InitCommonControls();
  library_start();
  screen_conv_start();
  {
    WNDCLASS wc;
    wc.lpfnWndProc = plat::DefWindowProc;
    wc.lpszClassName = "BenchHost";
    plat::RegisterClass(&wc);
    HWND host = plat::CreateWindowEx(0, "BenchHost", "", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr);
    CThumbView view;
    view.create(host, WS_VISIBLE | WS_TABSTOP);
    const std::string empty = (fs::temp_directory_path() / "lumora_bench_empty").string();
    fs::create_directories(empty);
    int files = 0;
    for (auto _ : state) {
      view.browse(big_folder().path(), true);
      state.PauseTiming();
      files = view.item_count();
      view.browse(empty, false);
      state.ResumeTiming();
    }
    state.counters["files"] = files;
    plat::DestroyWindow(host);
  }
  screen_conv_stop();
  library_stop();
  plat::Shutdown();
}
BENCHMARK(BM_BrowseView)->Unit(benchmark::kMillisecond);

struct BigPicture {
  Bitmap b{};
  BigPicture() {
    bitmap_alloc(&b, kPixBGR, 4, 4000, 3000);
    std::mt19937 rng(5);
    for (int y = 0; y < b.height; ++y)
      for (uint32_t x = 0; x < b.bytes_per_line; ++x) bitmap_row(&b, y)[x] = static_cast<uint8_t>(rng());
  }
  ~BigPicture() { bitmap_free(&b); }
};

// range(0): screen bits; range(1): display width (height follows the picture's 4:3).
void BM_ConvertVisible(benchmark::State& state) {
  static BigPicture picture;
  const int bits = static_cast<int>(state.range(0));
  const int dw = static_cast<int>(state.range(1)), dh = dw * 3 / 4;
  screen_conv_start(bits);
  ScreenImage image;
  image.init(240, 320, bits);
  image.build(picture.b, dw, dh, kBuildPalette);
  const int x0 = dw > 240 ? (dw - 240) / 2 : 0, y0 = dh > 320 ? (dh - 320) / 2 : 0;
  for (auto _ : state) {
    image.convert(x0, y0, 240, 320);
    benchmark::DoNotOptimize(image.top_row());
  }
  state.counters["Mpix/s"] = benchmark::Counter(240.0 * std::min(320, dh) * static_cast<double>(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
  screen_conv_stop();
}
BENCHMARK(BM_ConvertVisible)
    ->ArgsProduct({{16, 24}, {4000, 2000, 240}})
    ->ArgNames({"bits", "display_w"})
    ->Unit(benchmark::kMicrosecond);

// Building the tables and surface for a new zoom of the 12-megapixel picture.
void BM_BuildAtZoom(benchmark::State& state) {
  static BigPicture picture;
  ScreenImage image;
  image.init(240, 320, 16);
  for (auto _ : state) image.build(picture.b, 4000, 3000);
}
BENCHMARK(BM_BuildAtZoom)->Unit(benchmark::kMicrosecond);

}  // namespace
