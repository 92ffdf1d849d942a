// The readers on public sample files: the image-rs files against their reference renderings where
// the rules agree (files without a rendering must end with a clean status), the PNG suite against
// libpng, the bitmap suite's good and damaged files, GIF frames, icons, camera TIFF and JPEG files.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/core/status.h"
#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

enum class Alpha { kNever, kWhereBothHaveIt, kWhereLoadedHasIt };

struct Folder {
  const char* name;   // under image-rs/images and image-rs/reference
  std::vector<std::string> extensions;
  std::vector<int> clean;   // statuses allowed for files without a rendering
  std::function<int(const fs::path&, const std::string&)> tolerance;   // per channel
  Alpha alpha;
  int at_least;   // files compared
};

// Targa: 5-bit components are scaled as floor(v x 255 / 31); the renderings replicate bits,
// which differs by at most 1.
int tga_tolerance(const fs::path& file, const std::string&) {
  FILE* f = std::fopen(file.string().c_str(), "rb");
  uint8_t header[18] = {};
  const size_t got = f ? std::fread(header, 1, sizeof header, f) : 0;
  if (f) std::fclose(f);
  EXPECT_EQ(got, sizeof header);
  return header[16] == 15 || header[16] == 16 || header[7] == 15 || header[7] == 16 ? 1 : 0;
}

// TIFF: floats are scaled with rounding; 16-bit samples keep their high byte.
int tiff_tolerance(const fs::path&, const std::string& rel) {
  return rel.find("32f") != std::string::npos || rel.find("16b") != std::string::npos ? 1 : 0;
}

// PNG: 16-bit samples keep their high byte, the renderings round. Transparency from tRNS is no
// alpha under the rules, so alpha is compared only where the file has a channel.
int png_tolerance(const fs::path& file, const std::string&) {
  png_image probe{};
  probe.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_file(&probe, file.string().c_str());
  const bool deep = (probe.format & PNG_FORMAT_FLAG_LINEAR) != 0;
  png_image_free(&probe);
  return deep ? 1 : 0;
}

int no_tolerance(const fs::path&, const std::string&) { return 0; }

TEST(RenderingsConformance, MatchTheReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const Folder folders[] = {
      {"tga", {".tga"}, {0, 2, 4}, tga_tolerance, Alpha::kWhereBothHaveIt, 10},
      {"pbm", {".pbm"}, {0, 2, 4, 9}, no_tolerance, Alpha::kNever, 2},
      {"tiff", {".tif", ".tiff"}, {0, 2, 4, 9, 10}, tiff_tolerance, Alpha::kWhereBothHaveIt, 6},
      {"png", {".png"}, {0, 2, 4, 10}, png_tolerance, Alpha::kWhereLoadedHasIt, 11},
  };
  for (const Folder& folder : folders) {
    const fs::path images = fs::path(dir) / "image-rs/images" / folder.name;
    const fs::path reference = fs::path(dir) / "image-rs/reference" / folder.name;
    int compared = 0;
    std::vector<fs::path> files;
    for (const std::string& ext : folder.extensions) {
      const std::vector<fs::path> more = files_below(images, ext);
      files.insert(files.end(), more.begin(), more.end());
    }
    for (const fs::path& f : files) {
      const std::string rel = fs::relative(f, images).string();
      SCOPED_TRACE(std::string(folder.name) + "/" + rel);
      Rgba got;
      const int status = load_rgba(f.string(), &got);
      const fs::path ref = reference / (rel + ".png");
      if (!fs::exists(ref)) {
        EXPECT_NE(std::find(folder.clean.begin(), folder.clean.end(), status), folder.clean.end()) << status;
        continue;
      }
      ASSERT_EQ(status, 0);
      Rgba want;
      ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
      const bool alpha = folder.alpha == Alpha::kWhereLoadedHasIt  ? got.has_alpha
                         : folder.alpha == Alpha::kWhereBothHaveIt ? got.has_alpha && want.has_alpha
                                                                   : false;
      EXPECT_EQ(differing_pixels(got, want, folder.tolerance(f, rel), alpha, false), 0);
      ++compared;
    }
    EXPECT_GE(compared, folder.at_least) << folder.name;
  }
}

TEST(PngConformance, PngSuite) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const auto files = files_below(fs::path(dir) / "pngsuite", ".png");
  ASSERT_GT(files.size(), 150u);
  int corrupt = 0;
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    Rgba got;
    const int status = load_rgba(f.string(), &got);
    if (f.filename().string()[0] == 'x') {
      ++corrupt;
      EXPECT_TRUE(status == 2 || status == 4 || status == 10) << "status " << status;
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_TRUE(libpng_rgba(f.string(), &want, PngDecode::kLibraryRules));
    EXPECT_EQ(got.has_alpha, want.has_alpha);
    EXPECT_EQ(differing_pixels(got, want, 0, true, false), 0);
  }
  EXPECT_EQ(corrupt, 14);
}

// Files without a rendering whose pixels follow from their samples: CMYK (0, 0, 0, 65) and
// (1, 1, 1, 128) give (255 - ink) x (255 - black) / 255, truncated.
TEST(TiffConformance, UnrenderedCmykFiles) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/tiff/testsuite";
  const std::pair<const char*, uint8_t> cases[] = {{"cmyk_u8_edge_case.tif", 190},
                                                   {"cmyk_u8_trunc_case.tif", 126}};
  for (const auto& [name, grey] : cases) {
    SCOPED_TRACE(name);
    Rgba got;
    ASSERT_EQ(load_rgba((images / name).string(), &got), 0);
    ASSERT_EQ(got.width, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(got.px[k], grey);
  }
}

// The same YCbCr picture with BT.709 coefficients and with unusable (zero) coefficients: the
// latter falls back to the default weights and must still give a picture of the same content.
TEST(TiffConformance, YCbCrCoefficients) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/tiff/testsuite";
  Rgba bt709, broken;
  ASSERT_EQ(load_rgba((images / "ycbcr_lzw_bt709.tif").string(), &bt709), 0);
  ASSERT_EQ(load_rgba((images / "ycbcr_lzw_broken.tif").string(), &broken), 0);
  ASSERT_EQ(bt709.px.size(), broken.px.size());
  // The two weightings differ a little on saturated colours, never wildly.
  double total = 0;
  for (size_t i = 0; i < bt709.px.size(); ++i) total += std::abs(bt709.px[i] - broken.px[i]);
  EXPECT_LT(total / bt709.px.size(), 12.0);
}

// The camera samples carry ICC profiles, XMP and text tags but no Exif directory.
TEST(TiffConformance, CameraSamplesLoadWithTheirProfiles) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const std::map<std::string, uint32_t> profile_bytes = {
      {"BSG1.tiff", 3940}, {"DudleyLeavittUtah.tiff", 4384}, {"Tless0.tiff", 4380}};
  const fs::path images = fs::path(dir) / "exif-samples/tiff";
  int loaded = 0;
  for (const fs::path& f : files_below(images, ".tiff")) {
    SCOPED_TRACE(f.filename().string());
    LoadParams p;
    load_params_init(&p);
    p.flags = kLoadKeepChunks | kLoadKeepComment | kLoadKeepText;
    Bitmap b{};
    FileInfo info{};
    const int status = load_image(f.string().c_str(), &b, &p, &info);
    EXPECT_EQ(status, 0);
    if (status == 0) {
      ++loaded;
      EXPECT_GT(b.width, 0);
      // An ICC profile is kept whole as one kind-4 block ("acsp" at byte 36).
      uint32_t kept = 0;
      for (const MetadataChunk* c = b.chunks; c; c = c->next) {
        if (c->kind != 4) continue;
        kept += c->size;
        ASSERT_GE(c->size, 40u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->data) + 36, 4), "acsp");
      }
      const auto want = profile_bytes.find(f.filename().string());
      EXPECT_EQ(kept, want == profile_bytes.end() ? 0u : want->second);
    }
    bitmap_free(&b);
    file_info_free(&info);
  }
  EXPECT_GE(loaded, 5);
}

// Good files of the suite that are not compared, and why.
const std::map<std::string, std::string> kBmpExcused = {
    {"rgb24rle24.bmp", "compression 4 (OS/2 RLE24) is not one of this reader's compressions: status 2"},
    {"rgba32abf.bmp", "compression 6 (alpha bit fields) is not one of this reader's compressions: status 2"},
};

// Files whose alpha the comparison ignores: plain 32-bit pixels hand over their fourth byte as
// stored (0 in these files, which the references show opaque), and 16-bit pixels with an alpha
// mask become 24-bit colour (the references keep the 1 or 4-bit alpha).
const std::set<std::string> kAlphaDiffers = {
    "Info_A8_R8_G8_B8.bmp", "Info_A8_R8_G8_B8_Top_Down.bmp", "rgb32.bmp",
    "V3_A1_R5_G5_B5.bmp", "V3_A1_R5_G5_B5_Top_Down.bmp", "V3_A4_R4_G4_B4.bmp",
    "V3_A4_R4_G4_B4_Top_Down.bmp", "V5_A1_R5_G5_B5.bmp", "rgba16-1924.bmp",
};

// Components narrower than 8 bits are widened as floor(v x 255 / (2^k - 1)); the references
// round instead, so these files may differ by 1 in any component.
const std::set<std::string> kWideningDiffers = {
    "V4_R5_G6_B5.bmp", "V5_A1_R5_G5_B5.bmp", "rgb16-231.bmp", "rgb16-565.bmp", "rgb16.bmp",
    "rgb32-111110.bmp", "rgba16-1924.bmp", "rgba32-61754.bmp",
};

// RLE files whose deltas and early end leave pixels undefined: the references show them black,
// this system gives them palette entry 0 like the rest of an empty row. Pixels that are black in
// the reference are not compared.
const std::set<std::string> kUndefinedPixels = {"pal4rlecut.bmp", "pal4rletrns.bmp"};

// The suite's files directly in `dir` (the damaged ones also sit in the subfolder "lenient").
std::vector<fs::path> bmp_files(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const fs::path& f : files_below(dir, ".bmp"))
    if (f.parent_path() == dir) out.push_back(f);
  return out;
}

// Red, green, blue, alpha for every picture type (4 bytes where the file has alpha).
int load_bmp(const fs::path& path, Rgba* out, uint32_t flags = 0) {
  return load_rgba(path.string(), out, kLoadForceColor | kLoadPrefer4Byte | flags);
}

TEST(BmpConformance, GoodFilesDecodeAndMatchTheirReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/bmp/images";
  const fs::path reference = fs::path(dir) / "image-rs/reference/bmp/images";
  int compared = 0;
  for (const fs::path& file : bmp_files(images)) {
    const std::string name = file.filename().string();
    const fs::path ref = reference / (name + ".png");
    if (!fs::exists(ref)) continue;  // damaged files: see the next test
    SCOPED_TRACE(name);
    Rgba got;
    const int status = load_bmp(file, &got);
    if (kBmpExcused.count(name)) {
      EXPECT_NE(status, 0) << "excused file now decodes: " << kBmpExcused.at(name);
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_EQ(load_bmp(ref, &want), 0);
    // RLE files' undefined pixels (black in the reference) are not compared.
    if (kUndefinedPixels.count(name) && want.px.size() == got.px.size())
      for (size_t i = 0; i < want.px.size(); i += 4)
        if (!want.px[i] && !want.px[i + 1] && !want.px[i + 2]) std::copy_n(&got.px[i], 4, &want.px[i]);
    const int tolerance = kWideningDiffers.count(name) ? 1 : 0;
    EXPECT_EQ(differing_pixels(got, want, tolerance, kAlphaDiffers.count(name) == 0, false), 0);
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

TEST(BmpConformance, DamagedFilesGiveACleanStatus) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/bmp/images";
  std::vector<fs::path> damaged = bmp_files(images / "lenient");
  for (const fs::path& file : bmp_files(images))
    if (!fs::exists(fs::path(dir) / "image-rs/reference/bmp/images" / (file.filename().string() + ".png")))
      damaged.push_back(file);
  ASSERT_FALSE(damaged.empty());
  for (const fs::path& file : damaged) {
    SCOPED_TRACE(file.filename().string());
    for (uint32_t flags : {0u, static_cast<uint32_t>(kLoadAcceptIncomplete)}) {
      LoadParams p;
      load_params_init(&p);
      p.flags = kLoadForceColor | kLoadPrefer4Byte | flags;
      Bitmap b{};
      const int status = load_image(file.string().c_str(), &b, &p, nullptr) & 0xFFFF;
      EXPECT_TRUE(status == 0 || status == 2 || status == 4 || status == 9 || status == 10) << status;
      EXPECT_EQ(b.pixels != nullptr, status == 0) << "pixels exactly when the load succeeds";
      bitmap_free(&b);
    }
  }
}

// Files whose reference rendering follows other rules than this library's, and why.
const std::map<std::string, std::string> kGifExcused = {
    {"anim/border_touching_layers.gif",
     "the opaque first frame covers half the canvas: the rest is the screen's background colour "
     "here, transparent in the rendering"},
    {"anim/issue_1455_undersized.gif", "as above: a first frame smaller than the canvas, without transparency"},
    {"simple/issue_1455_oversized.gif",
     "the image is larger than the logical screen: the canvas grows to hold it here, the rendering "
     "crops it to the screen"},
};

TEST(GifConformance, FirstFrameMatchesTheReference) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/gif";
  const fs::path reference = fs::path(dir) / "image-rs/reference/gif";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".gif")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    // The reader delivers the first image at its own size; the frame loader composes it on the
    // canvas, as the renderings do.
    Rgba image;
    ASSERT_EQ(load_rgba(f.string(), &image), 0);
    GifAnimation animation{};
    ASSERT_EQ(gif_load_frames(f.string().c_str(), &animation), 0);
    ASSERT_GE(animation.frame_count, 1u);
    Rgba frame = expand(animation.frames[0].bitmap);
    const int16_t transparent = animation.frames[0].bitmap.transparent_index;
    for (size_t i = 0; i < frame.px.size(); i += 4) {
      const size_t x = (i / 4) % static_cast<size_t>(frame.width), y = i / 4 / frame.width;
      if (transparent >= 0 && bitmap_row(&animation.frames[0].bitmap, static_cast<int32_t>(y))[x] == transparent)
        frame.px[i + 3] = 0;
    }
    gif_animation_free(&animation);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref) || kGifExcused.count(rel)) continue;
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    // Transparent pixels have no colour of their own in GIF: only their transparency counts.
    EXPECT_EQ(differing_pixels(frame, want, 0, false, true), 0);
    long alpha_differs = 0;
    for (size_t i = 3; i < frame.px.size() && frame.px.size() == want.px.size(); i += 4)
      if ((want.px[i] == 0) != (frame.px[i] == 0)) ++alpha_differs;
    EXPECT_EQ(alpha_differs, 0) << "pixels transparent in one rendering only";
    if (image.width == want.width && image.height == want.height) {
      EXPECT_EQ(differing_pixels(image, want, 0, false, true), 0);
    }
    ++compared;
  }
  EXPECT_GE(compared, 5);
}

// Files this reader does not decode, and why; each must be refused with status 2.
const std::map<std::string, std::string> kIcoExcused = {
    {"images/bmp_v5_with_icc.ico", "124-byte (version 5) bitmap header: icons carry the 40-byte header"},
};

int load_icon(const fs::path& file, int32_t index, Rgba* out, uint32_t* count) {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  p.icon_mask_alpha = 1;
  p.image_index = index;
  Bitmap b{};
  FileInfo info{};
  const int status = load_image(file.string().c_str(), &b, &p, &info);
  if (status == 0) *out = expand(b);
  *count = info.image_count;
  bitmap_free(&b);
  file_info_free(&info);
  return status;
}

TEST(IcoConformance, MatchesTheReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/ico";
  const fs::path reference = fs::path(dir) / "image-rs/reference/ico";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".ico")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    Rgba got;
    uint32_t count = 0;
    const int status = load_icon(f, 0, &got, &count);
    if (kIcoExcused.count(rel)) {
      EXPECT_EQ(status, 2);
      continue;
    }
    ASSERT_EQ(status, 0);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref)) continue;
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    // The reference shows one image of the directory (the largest); every image must load, and
    // the one of the reference's size must match it, alpha included.
    bool matched = false;
    for (uint32_t i = 0; i < count; ++i) {
      ASSERT_EQ(load_icon(f, static_cast<int32_t>(i), &got, &count), 0) << i;
      if (got.width != want.width || got.height != want.height) continue;
      long wrong_alpha = 0;
      for (size_t k = 3; k < got.px.size(); k += 4) wrong_alpha += got.px[k] != want.px[k];
      if (wrong_alpha == 0 && differing_pixels(got, want, 0, false, true) == 0) matched = true;
    }
    EXPECT_TRUE(matched);
    ++compared;
  }
  EXPECT_GE(compared, 4);
}


// Camera photographs and broken files: every file loads, or gives a clean status, in the viewer's
// full load and in the browser's thumbnail load. The deliberately broken ones (folders "invalid"
// and "tests", "corrupted.jpg") never crash.
bool deliberately_broken(const std::string& path) {
  return path.find("/invalid/") != std::string::npos || path.find("/tests/") != std::string::npos ||
         path.find("corrupted") != std::string::npos;
}

TEST(JpegConformance, PhotographsLoadAndBrokenFilesFailCleanly) {
  LUMORA_REQUIRE_TESTDATA(dir);
  std::vector<fs::path> files;
  for (const char* folder : {"exif-samples/jpg", "image-rs/images/jpg"})
    for (const char* ext : {".jpg", ".jpeg", ".JPG"}) {
      const std::vector<fs::path> more = files_below(fs::path(dir) / folder, ext);
      files.insert(files.end(), more.begin(), more.end());
    }
  ASSERT_FALSE(files.empty());
  struct Mode {
    const char* name;
    uint32_t flags;
    int32_t max_w, max_h;
    uint8_t use_embedded;
  };
  const Mode modes[] = {
      {"viewer", kLoadApplicationFlags | kLoadKeepChunks | kLoadKeepComment | kLoadEstimateQuality, 1024, 768, 0},
      {"thumbnail", kLoadApplicationFlags | kLoadQuick, 46, 46, 1},
      {"strict full", kLoadKnownExtension, -1, -1, 0},
  };
  int thumbnails = 0;
  for (const fs::path& file : files) {
    const std::string path = file.string();
    for (const Mode& m : modes) {
      LoadParams p;
      load_params_init(&p);
      p.component_order = 1;
      p.flags = m.flags;
      p.max_width = m.max_w;
      p.max_height = m.max_h;
      p.use_embedded = m.use_embedded;
      Bitmap b{};
      FileInfo info{};
      const int status = load_image(path.c_str(), &b, &p, &info) & 0xFFFF;
      // Empty files (two of the collection's are) cannot be opened: status 3.
      const bool clean = status == 0 || status == kStatusNotRecognised || status == kStatusCannotOpen ||
                         status == kStatusFileEndsEarly || status == kStatusCorrupt;
      EXPECT_TRUE(clean) << path << " (" << m.name << "): status " << status;
      if (status == 0) {
        EXPECT_NE(b.pixels, nullptr) << path;
        if (m.max_w > 0) {
          EXPECT_LE(b.width, m.max_w) << path;
          EXPECT_LE(b.height, m.max_h) << path;
        }
        if (info.reader_flag == 1) ++thumbnails;
      } else {
        EXPECT_EQ(b.pixels, nullptr) << path;
        // Photographs straight from cameras must load, at least when partial pictures are kept.
        if (!deliberately_broken(path) && fs::file_size(file) > 0 && (m.flags & kLoadAcceptIncomplete))
          ADD_FAILURE() << path << " (" << m.name << "): status " << status;
      }
      bitmap_free(&b);
      file_info_free(&info);
    }
  }
  // Most of the camera files carry an Exif thumbnail; the browser's load must find them.
  EXPECT_GT(thumbnails, static_cast<int>(files.size()) / 2);
}

}  // namespace
}  // namespace lumora
