#include "platform/gdi/font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace lumora::plat {

struct FontInstance::Face {
  FT_Face face = nullptr;
  ~Face() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

// FreeType objects are not thread-safe; one lock covers the library, the faces and the caches
// (text is drawn on the user-interface thread; the lock only matters for workers measuring text).
std::mutex& font_mutex() {
  static std::mutex m;
  return m;
}

FT_Library library_locked() {
  static FT_Library lib = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
  }
  return lib;
}

std::shared_ptr<FontInstance::Face> face_locked(const std::string& file) {
  static std::map<std::string, std::shared_ptr<FontInstance::Face>> faces;
  auto it = faces.find(file);
  if (it != faces.end()) return it->second;
  FT_Library lib = library_locked();
  if (!lib) return nullptr;
  auto face = std::make_shared<FontInstance::Face>();
  if (FT_New_Face(lib, file.c_str(), 0, &face->face) != 0) {
    face->face = nullptr;
    return nullptr;
  }
  faces[file] = face;
  return face;
}

bool file_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string font_file_for(std::string_view face_name, int weight, bool italic) {
  std::vector<std::string> dirs;
  if (const char* env = std::getenv("LUMORA_FONT_DIR"); env && *env) dirs.emplace_back(env);
  dirs.emplace_back("/usr/share/fonts/truetype/dejavu");
  dirs.emplace_back("/usr/share/fonts/dejavu");
  dirs.emplace_back("/usr/local/share/fonts/dejavu");
  std::string name = lower(face_name);
  bool mono = name.find("courier") != std::string::npos || name.find("mono") != std::string::npos ||
              name.find("fixed") != std::string::npos;
  bool bold = weight >= 600;
  std::string base = mono ? "DejaVuSansMono" : "DejaVuSans";
  std::string style = bold ? (italic ? (mono ? "-BoldOblique" : "-BoldOblique") : "-Bold")
                           : (italic ? "-Oblique" : "");
  for (const std::string& dir : dirs) {
    for (const std::string& candidate : {base + style, base + (bold ? "-Bold" : ""), base, std::string("DejaVuSans")}) {
      std::string path = dir + "/" + candidate + ".ttf";
      if (file_exists(path)) return path;
    }
  }
  return {};
}

int FontInstance::pixel_size_for(const std::string& file, int lf_height, int dpi) {
  if (lf_height < 0) return std::min(-lf_height, 2000);
  if (lf_height == 0) return std::max(1, (8 * dpi + 36) / 72);  // 8 point
  std::lock_guard lock(font_mutex());
  auto face = face_locked(file);
  if (!face) return std::min(lf_height, 2000);
  // A positive height is the cell height: ascender plus descender.
  long cell = face->face->ascender - face->face->descender;
  if (cell <= 0) return lf_height;
  long px = (static_cast<long>(lf_height) * face->face->units_per_EM + cell / 2) / cell;
  return static_cast<int>(std::clamp<long>(px, 1, 2000));
}

std::shared_ptr<FontInstance> FontInstance::get(const std::string& file, int pixel_size) {
  if (file.empty() || pixel_size <= 0) return nullptr;
  std::lock_guard lock(font_mutex());
  static std::map<std::pair<std::string, int>, std::weak_ptr<FontInstance>> instances;
  auto key = std::make_pair(file, pixel_size);
  if (auto it = instances.find(key); it != instances.end()) {
    if (auto alive = it->second.lock()) return alive;
  }
  auto face = face_locked(file);
  if (!face) return nullptr;
  if (FT_Set_Pixel_Sizes(face->face, 0, static_cast<FT_UInt>(pixel_size)) != 0) return nullptr;
  auto inst = std::shared_ptr<FontInstance>(new FontInstance());
  inst->face_ = face;
  inst->pixel_size_ = pixel_size;
  const FT_Size_Metrics& m = face->face->size->metrics;
  inst->ascent_ = static_cast<int>((m.ascender + 63) >> 6);
  inst->descent_ = static_cast<int>((-m.descender + 63) >> 6);
  inst->max_width_ = static_cast<int>((m.max_advance + 63) >> 6);
  if (FT_Load_Char(face->face, 'x', FT_LOAD_DEFAULT) == 0)
    inst->average_width_ = static_cast<int>((face->face->glyph->advance.x + 32) >> 6);
  instances[key] = inst;
  return inst;
}

const Glyph& FontInstance::glyph(char32_t cp) {
  std::lock_guard lock(font_mutex());
  auto it = glyphs_.find(cp);
  if (it != glyphs_.end()) return it->second;
  Glyph g;
  FT_Face face = face_->face;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size_)) == 0 &&
      FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
    FT_GlyphSlot slot = face->glyph;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY && bm.buffer) {
      g.width = static_cast<int>(bm.width);
      g.height = static_cast<int>(bm.rows);
      g.coverage.resize(static_cast<size_t>(g.width) * g.height);
      for (int y = 0; y < g.height; ++y) {
        const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        std::copy(src, src + g.width, g.coverage.begin() + static_cast<ptrdiff_t>(y) * g.width);
      }
    }
  }
  return glyphs_.emplace(cp, std::move(g)).first->second;
}

}  // namespace lumora::plat
