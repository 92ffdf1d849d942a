#pragma once
// FreeType rendering of the DejaVu fonts that stand in for the fonts the application names.
// Faces are loaded once per process; each (face, pixel size) keeps its own glyph cache.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumora::plat {

struct Glyph {
  int advance = 0;  // pixels to the next pen position
  int left = 0;     // pixels from the pen position to the coverage box
  int top = 0;      // pixels from the baseline up to the top of the coverage box
  int width = 0;
  int height = 0;
  std::vector<uint8_t> coverage;  // width x height, 0..255
};

class FontInstance {
 public:
  // A font for the face file at the given em size in pixels; null when the face cannot be loaded.
  static std::shared_ptr<FontInstance> get(const std::string& file, int pixel_size);
  // Em size in pixels for a character height (< 0), a cell height (> 0) or the default (0).
  static int pixel_size_for(const std::string& file, int lf_height, int dpi);

  int pixel_size() const { return pixel_size_; }
  int ascent() const { return ascent_; }
  int descent() const { return descent_; }
  int average_width() const { return average_width_; }
  int max_width() const { return max_width_; }
  // Thread-safe; the reference stays valid for the life of the instance.
  const Glyph& glyph(char32_t cp);

  struct Face;  // one loaded face file, shared by its sizes

 private:
  std::shared_ptr<Face> face_;
  int pixel_size_ = 0;
  int ascent_ = 0, descent_ = 0, average_width_ = 0, max_width_ = 0;
  std::unordered_map<char32_t, Glyph> glyphs_;
};

// The face file that stands in for a font name and weight: the DejaVu Sans family (Mono for
// fixed-pitch names). Empty when no font file is installed. LUMORA_FONT_DIR overrides the folder.
std::string font_file_for(std::string_view face_name, int weight, bool italic);

}  // namespace lumora::plat
