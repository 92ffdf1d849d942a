#include "imagelib/core/format.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "imagelib/core/format_table.h"

namespace lumora {

namespace {

// The one process-wide registry, and the lock that guards its start and stop. Rows never change
// between library_start and the last library_stop, so look-ups read them without the lock.
FormatRegistry g_registry{};
std::recursive_mutex g_registry_lock;  // recursive: a probe may ask for library_data_dir
std::string g_data_dir;  // guarded by g_registry_lock

bool has_capability_bits(const FormatEntry& row, FormatEntry* out) {
  *out = row;
  out->flags &= ~(kFormatCanRead | kFormatCanWrite);
  if (row.reader) out->flags |= kFormatCanRead;
  if (row.writer) out->flags |= kFormatCanWrite;
  return true;
}

// The name part of a path: the text after its last '/'.
const char* file_name_part(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace

void library_start() {
  std::lock_guard<std::recursive_mutex> lock(g_registry_lock);
  if (g_registry.rows) {
    ++g_registry.references;
    return;
  }
  g_registry.count = 0;
  g_registry.capacity = kRegistryCapacity;
  g_registry.references = 1;
  g_registry.rows = static_cast<FormatEntry*>(std::calloc(kRegistryCapacity, sizeof(FormatEntry)));
  if (!g_registry.rows) {
    // Registry stays empty; every load then reports "not recognised".
    g_registry = FormatRegistry{};
    return;
  }
  if (const char* env = std::getenv("LUMORA_DATA_DIR"); env && g_data_dir.empty()) g_data_dir = env;
  ProbeContext probe_context{&library_data_dir};
  for (const FormatEntry& row : kFormatTable) {
    if (row.probe && row.probe(&probe_context) == 0) continue;
    has_capability_bits(row, &g_registry.rows[g_registry.count]);
    ++g_registry.count;
  }
}

void library_stop() {
  std::lock_guard<std::recursive_mutex> lock(g_registry_lock);
  if (!g_registry.rows) return;
  if (--g_registry.references > 0) return;
  std::free(g_registry.rows);
  g_registry = FormatRegistry{};
}

int format_register(const FormatEntry& row) {
  std::lock_guard<std::recursive_mutex> lock(g_registry_lock);
  if (!g_registry.rows || g_registry.count >= g_registry.capacity || !row.name) return -1;
  has_capability_bits(row, &g_registry.rows[g_registry.count]);
  return g_registry.count++;
}

const FormatRegistry& format_registry() { return g_registry; }

const FormatEntry* format_entry(int index) {
  if (!g_registry.rows || index < 0 || index >= g_registry.count) return nullptr;
  return &g_registry.rows[index];
}

int format_find(const char* name) {
  if (!g_registry.rows || !name) return -1;
  for (int i = 0; i < g_registry.count; ++i)
    if (g_registry.rows[i].name && std::strcmp(g_registry.rows[i].name, name) == 0) return i;
  return -1;
}

const char* format_name(int index) {
  const FormatEntry* row = format_entry(index);
  return row ? row->name : nullptr;
}

int path_extension(const char* path, char* out) {
  out[0] = '\0';
  if (!path) return 0;
  // Only the file name counts: a dot in a folder name is not an extension.
  const char* dot = std::strrchr(file_name_part(path), '.');
  if (!dot) return 0;
  size_t n = std::strlen(dot + 1);
  if (n > 128) n = 128;
  std::memcpy(out, dot + 1, n);
  out[n] = '\0';
  ascii_lower(out);
  return 1;
}

static bool row_has_extension(const FormatEntry& row, const char* ext) {
  for (const char* e : row.extensions) {
    if (!e || !*e) break;
    if (std::strcmp(e, ext) == 0) return true;
  }
  return false;
}

int format_extension_known(const char* path) {
  char ext[129];
  if (!path_extension(path, ext)) return 0;
  for (int i = 0; i < g_registry.count; ++i)
    if (row_has_extension(g_registry.rows[i], ext)) return 1;
  return 0;
}

int format_has_extension(const char* path, int index) {
  const FormatEntry* row = format_entry(index);
  char ext[129];
  if (!row || !path_extension(path, ext)) return 0;
  return row_has_extension(*row, ext) ? 1 : 0;
}

void format_set_extension(char* path, int capacity, int index) {
  const FormatEntry* row = format_entry(index);
  if (!row || !path || !row->extensions[0] || capacity <= 0) return;
  char* name = const_cast<char*>(file_name_part(path));
  char* dot = std::strrchr(name, '.');
  if (dot) {
    for (const char* e : row->extensions) {
      if (!e || !*e) break;
      if (ascii_casecmp(dot + 1, e) == 0) return;
    }
  }
  size_t base = dot ? static_cast<size_t>(dot - path) : std::strlen(path);
  size_t need = base + 1 + std::strlen(row->extensions[0]) + 1;
  if (need > static_cast<size_t>(capacity)) return;  // no room: leave the path as it is
  path[base] = '.';
  std::strcpy(path + base + 1, row->extensions[0]);
}

int format_can_store(int index, const Bitmap* bitmap, const char** option) {
  if (option) *option = "";
  const FormatEntry* row = format_entry(index);
  if (!row) return 0;
  if (!row->capabilities) return 1;
  WriterCapability list[kMaxWriterCapabilities];
  for (auto& c : list) c = WriterCapability{0xFFFF, -1, 0, 0, nullptr};
  row->capabilities(list);
  for (const WriterCapability& c : list) {
    if (c.type_mask == 0xFFFF) break;  // the first entry not filled ends the list
    bool accepts;
    if (c.type_mask == kMaskColor4 || c.type_mask == kMaskColor3) {
      accepts = (bitmap->type & kMaskColor) != 0;
    } else {
      accepts = (bitmap->type & c.type_mask) != 0 &&
                ((c.type_mask & (kPixGrey | kPixIndexed)) == 0 || c.max_colors == -1 ||
                 c.max_colors >= static_cast<int>(bitmap->colors));
    }
    if (accepts) {
      if (option) *option = c.option_text ? c.option_text : "";
      return 1;
    }
  }
  return 0;
}

const char* compression_name(int code) {
  switch (code) {
    case kCompRle: return "Rle";
    case kCompLzw: return "LZW";
    case kCompJpeg: return "JPEG";
    case kCompZip: return "ZIP";
    case kCompSgiRle: return "Sgi Rle";
    case kCompCcittRle: return "CCITT Rle";
    case kCompCcittG3: return "CCITT Group 3";
    case kCompCcittG3_2D: return "CCITT Group 3-2D";
    case kCompCcittG4: return "CCITT Group 4";
    case kCompWavelet: return "Wavelet";
    case kCompReaderText: return nullptr;
    default: return "Uncompressed";
  }
}

const char* color_model_name(int code) {
  switch (code) {
    case kModelCMY: return "CMY";
    case kModelCMYK: return "CMYK";
    case kModelYCbCr: return "YCbCr";
    case kModelYUV16: return "YUV16";
    case kModelLab: return "CIE Lab";
    case kModelLogLuv: return "CIE Log2(L) (u',v')";
    case kModelLogL: return "CIE Log2(L)";
    default: return "RGB";
  }
}

void compression_text(char* buffer, int length, int code, const char* fallback) {
  if (!buffer || length <= 0) return;
  const char* name = compression_name(code);
  if (!name) name = fallback ? fallback : "";
  std::strncpy(buffer, name, static_cast<size_t>(length) - 1);
  buffer[length - 1] = '\0';
}

void file_info_free(FileInfo* info) {
  if (!info) return;
  for (uint32_t i = 0; i < info->text_count && i < kMaxTextLines; ++i) {
    std::free(info->text_lines[i]);
    info->text_lines[i] = nullptr;
  }
  info->text_count = 0;
  std::free(info->comment);
  info->comment = nullptr;
  chunk_list_free(&info->chunks);
}

int ascii_casecmp(const char* a, const char* b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
  for (;; ++a, ++b) {
    int ca = lower(static_cast<unsigned char>(*a)), cb = lower(static_cast<unsigned char>(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

void ascii_lower(char* s) {
  for (; s && *s; ++s)
    if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s + ('a' - 'A'));
}

void library_data_dir(char* out) {
  std::lock_guard<std::recursive_mutex> lock(g_registry_lock);
  // `out` holds at least 260 bytes, as every path buffer of the library.
  if (g_data_dir.empty() || g_data_dir.size() > 258) {
    out[0] = '\0';
    return;
  }
  std::strcpy(out, g_data_dir.c_str());
  if (g_data_dir.back() != '/') std::strcat(out, "/");
}

void library_set_data_dir(const char* dir) {
  std::lock_guard<std::recursive_mutex> lock(g_registry_lock);
  g_data_dir = dir ? dir : "";
}

}  // namespace lumora
