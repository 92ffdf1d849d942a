// The freedesktop.org thumbnail cache: names, validity and atomic stores (see thumb_cache.h).
#include "imagelib/thumbcache/thumb_cache.h"

#include <fcntl.h>
#include <nettle/md5.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"

#ifndef LUMORA_LIBRARY_VERSION
#define LUMORA_LIBRARY_VERSION "0"
#endif

namespace lumora {

namespace {

constexpr char kFailFolder[] = "fail/lumora-" LUMORA_LIBRARY_VERSION;
// A cached thumbnail is at most 256 x 256 pixels: a few hundred kilobytes even uncompressed with
// alpha. Anything much larger in the cache is not a thumbnail and is not decoded.
constexpr off_t kMaxCacheFileBytes = 4 << 20;
// Other programs write at most the flavour's side; a little more is tolerated, a huge picture
// (a small file can describe one) is not decoded.
constexpr uint32_t kMaxCachedSideFactor = 2;
constexpr char kKeyUri[] = "Thumb::URI";
constexpr char kKeyMTime[] = "Thumb::MTime";
constexpr char kKeySize[] = "Thumb::Size";

// RFC 2396 section 3.3 path characters (unreserved and the path's reserved ones) as GLib keeps
// them in file URIs, so names match the thumbnails of GLib-based file managers byte for byte.
bool kept_in_uri(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::strchr("-._~!$&'()*+,=:@/", c) != nullptr && c != '\0';
}

// "/a/./b//c/../d" -> "/a/b/d" (lexically; symbolic links are not followed, as in GLib).
std::string normalise(std::string_view absolute) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < absolute.size()) {
    size_t j = absolute.find('/', i);
    if (j == std::string_view::npos) j = absolute.size();
    std::string_view part = absolute.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (std::string_view p : parts) {
    out += '/';
    out += p;
  }
  return out.empty() ? "/" : out;
}

int make_uri(const char* path, std::string* uri) {
  if (!path || !*path) return kStatusBadArguments;
  std::string absolute;
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return kStatusCannotOpen;
    absolute = std::string(cwd) + "/" + path;
  } else {
    absolute = path;
  }
  static const char kHex[] = "0123456789ABCDEF";
  uri->assign("file://");
  for (unsigned char c : normalise(absolute)) {
    if (kept_in_uri(c)) {
      *uri += static_cast<char>(c);
    } else {
      *uri += '%';
      *uri += kHex[c >> 4];
      *uri += kHex[c & 15];
    }
  }
  return kStatusOk;
}

std::string md5_name(const std::string& uri) {
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, uri.size(), reinterpret_cast<const uint8_t*>(uri.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&ctx, sizeof digest, digest);
  static const char kHex[] = "0123456789abcdef";
  std::string name;
  for (uint8_t b : digest) {
    name += kHex[b >> 4];
    name += kHex[b & 15];
  }
  return name + ".png";
}

int copy_out(const std::string& s, char* out, size_t capacity) {
  if (!out || s.size() + 1 > capacity) return kStatusBadArguments;
  std::memcpy(out, s.c_str(), s.size() + 1);
  return kStatusOk;
}

// $XDG_CACHE_HOME, else $HOME/.cache (XDG Base Directory: a relative value is ignored).
bool cache_home(std::string* out) {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') {
    *out = xdg;
    return true;
  }
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return false;
  *out = std::string(home) + "/.cache";
  return true;
}

bool thumbnails_root(std::string* out) {
  if (!cache_home(out)) return false;
  *out += "/thumbnails";
  return true;
}

// The facts of the original file that a thumbnail must match.
struct Original {
  std::string uri;
  std::string name;
  long long mtime = 0;   // seconds since 1970
  long long size = 0;    // bytes
};

// The standard: a file the user cannot read gets no thumbnail and no failure record, and its
// cached thumbnail is not shown.
int describe_original(const char* path, Original* o) {
  struct stat st;
  if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode) || access(path, R_OK) != 0)
    return kStatusCannotOpen;
  if (int status = make_uri(path, &o->uri)) return status;
  o->name = md5_name(o->uri);
  o->mtime = static_cast<long long>(st.st_mtime);
  o->size = static_cast<long long>(st.st_size);
  return kStatusOk;
}

// The value of `key` among kept text lines "key: value", or null.
const char* text_value(const FileInfo& info, const char* key) {
  const size_t n = std::strlen(key);
  for (uint32_t i = 0; i < info.text_count && i < kMaxTextLines; ++i) {
    const char* line = info.text_lines[i];
    if (line && std::strncmp(line, key, n) == 0 && line[n] == ':' && line[n + 1] == ' ')
      return line + n + 2;
  }
  return nullptr;
}

// A whole decimal number and nothing else (no sign, spaces or fraction).
bool parse_decimal(const char* text, long long* value) {
  if (!text || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = v;
  return true;
}

enum class Match { kValid, kStale, kUnknown };

// Whether the text chunks of a cache file describe the original as it is now. kUnknown when the
// chunks are missing (they may follow the image data, where a description-only read stops).
Match match_original(const FileInfo& info, const Original& o) {
  const char* uri = text_value(info, kKeyUri);
  const char* mtime = text_value(info, kKeyMTime);
  if (!uri && !mtime) return Match::kUnknown;
  long long value = 0;
  if (!uri || o.uri != uri || !parse_decimal(mtime, &value) || value != o.mtime)
    return Match::kStale;
  if (const char* size = text_value(info, kKeySize))
    if (!parse_decimal(size, &value) || value != o.size) return Match::kStale;
  return Match::kValid;
}

// Reads the description and text chunks of a cache file that looks like a small PNG; false when
// it is missing, too big, not a PNG or describes a picture far above `max_side`.
bool read_cache_info(const std::string& file, uint32_t max_side, FileInfo* info) {
  struct stat st;
  if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxCacheFileBytes)
    return false;
  const int status = load_info(file.c_str(), kFormatPng, kLoadKeepComment | kLoadKeepText, info);
  return (status & 0xFFFF) == kStatusOk && info->width >= 1 && info->height >= 1 &&
         info->width <= max_side && info->height <= max_side;
}

// mkdir with mode 0700 for each missing folder from `base` down to `base`/`relative`.
int make_folders(const std::string& base, const char* relative) {
  std::string path = base;
  // The cache home itself may be missing on a fresh account.
  std::string walk;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      walk = path.substr(0, i);
      if (mkdir(walk.c_str(), 0700) == 0) chmod(walk.c_str(), 0700);
    }
  }
  for (const char* p = relative;; ++p) {
    if (*p == '/' || *p == '\0') {
      walk = base + "/" + std::string(relative, static_cast<size_t>(p - relative));
      if (mkdir(walk.c_str(), 0700) == 0) chmod(walk.c_str(), 0700);
      if (*p == '\0') break;
    }
  }
  struct stat st;
  if (stat(walk.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kStatusCannotCreate;
  return kStatusOk;
}

// Writes `thumb` with the chunks of `o` to `folder`/NAME atomically, mode 0600.
int write_thumbnail(const std::string& folder, const Original& o, const Bitmap* thumb) {
  const std::string final_path = folder + "/" + o.name;
  std::string temp = final_path + ".XXXXXX";
  const int fd = mkstemp(temp.data());   // mode 0600
  if (fd < 0) return kStatusCannotCreate;
  fchmod(fd, 0600);
  FILE* stream = fdopen(fd, "wb");
  if (!stream) {
    close(fd);
    unlink(temp.c_str());
    return kStatusCannotCreate;
  }
  const std::string lines[] = {
      std::string(kKeyUri) + ": " + o.uri,
      std::string(kKeyMTime) + ": " + std::to_string(o.mtime),
      std::string(kKeySize) + ": " + std::to_string(o.size),
      "Software: Lumora " LUMORA_LIBRARY_VERSION,
  };
  const char* text[4];
  for (int i = 0; i < 4; ++i) text[i] = lines[i].c_str();
  SaveParams save;
  save_params_init(&save);
  save.format_index = kFormatPng;
  save.write_exif = 0;
  save.write_iptc = 0;
  save.text_lines = text;
  save.text_count = 4;
  Bitmap plain = *thumb;   // the picture's own comment and metadata stay out of the cache
  plain.comment = nullptr;
  plain.chunks = nullptr;
  int status = save_image(nullptr, 0, stream, &plain, &save) & 0xFFFF;
  if (std::fclose(stream) != 0 && status == kStatusOk) status = kStatusWriteError;
  if (status == kStatusOk && rename(temp.c_str(), final_path.c_str()) != 0)
    status = kStatusWriteError;
  if (status != kStatusOk) unlink(temp.c_str());
  return status;
}

// True when `path` names something inside the thumbnail folders (compared as URIs, which are
// absolute and normalised).
bool inside_cache(const Original& o, const std::string& root) {
  std::string root_uri;
  if (make_uri(root.c_str(), &root_uri) != kStatusOk) return false;
  root_uri += '/';
  return o.uri.compare(0, root_uri.size(), root_uri) == 0;
}

int store(const char* path, const Bitmap* thumb, const char* folder) {
  Original o;
  if (int status = describe_original(path, &o)) return status;
  std::string root;
  if (!thumbnails_root(&root) || inside_cache(o, root)) return kStatusCannotOpen;
  if (int status = make_folders(root, folder)) return status;
  return write_thumbnail(root + "/" + folder, o, thumb);
}

}  // namespace

int thumb_cache_flavour_size(int box) {
  if (box < 1) return 0;
  if (box <= kThumbNormalSize) return kThumbNormalSize;
  if (box <= kThumbLargeSize) return kThumbLargeSize;
  return 0;
}

int thumb_cache_uri(const char* path, char* out, size_t capacity) {
  std::string uri;
  if (int status = make_uri(path, &uri)) return status;
  return copy_out(uri, out, capacity);
}

int thumb_cache_name(const char* path, char* out, size_t capacity) {
  std::string uri;
  if (int status = make_uri(path, &uri)) return status;
  return copy_out(md5_name(uri), out, capacity);
}

int thumb_cache_file(const char* path, int box, char* out, size_t capacity) {
  const int side = thumb_cache_flavour_size(box);
  if (side == 0) return kStatusBadArguments;
  std::string uri, root;
  if (int status = make_uri(path, &uri)) return status;
  if (!thumbnails_root(&root)) return kStatusCannotOpen;
  const char* flavour = side == kThumbNormalSize ? "/normal/" : "/large/";
  return copy_out(root + flavour + md5_name(uri), out, capacity);
}

int thumb_cache_lookup(const char* path, int box, Bitmap* out, const LoadParams* params) {
  if (!out) return kStatusBadArguments;
  std::memset(out, 0, sizeof *out);
  const int side = thumb_cache_flavour_size(box);
  Original o;
  std::string root;
  if (side == 0 || describe_original(path, &o) != kStatusOk || !thumbnails_root(&root))
    return kStatusCannotOpen;
  const std::string file =
      root + (side == kThumbNormalSize ? "/normal/" : "/large/") + o.name;

  // The description and the chunks before the image data first: a stale thumbnail is not
  // decoded at all.
  FileInfo info{};
  const bool usable = read_cache_info(file, side * kMaxCachedSideFactor, &info);
  const Match early = usable ? match_original(info, o) : Match::kStale;
  file_info_free(&info);
  if (early == Match::kStale) return kStatusCannotOpen;

  LoadParams p;
  if (params) p = *params;
  else load_params_init(&p);
  if (p.max_width < 1 || p.max_height < 1) p.max_width = p.max_height = box;
  p.format_index = kFormatPng;
  // A damaged cache file is a miss, never a partial thumbnail; texts are kept for the check.
  p.flags = (p.flags & ~(kLoadAcceptIncomplete | kLoadVerbose | kLoadProgressBar |
                         kLoadKnownExtension | kLoadKeepChunks)) |
            kLoadKeepComment | kLoadKeepText;
  info = FileInfo{};
  const int status = load_image(file.c_str(), out, &p, &info) & 0xFFFF;
  const Match match = status == kStatusOk ? match_original(info, o) : Match::kStale;
  file_info_free(&info);
  std::free(out->comment);
  out->comment = nullptr;
  if (match == Match::kValid) return kStatusOk;
  bitmap_free(out);
  std::memset(out, 0, sizeof *out);
  return status == kStatusNoMemory ? kStatusNoMemory : kStatusCannotOpen;
}

int thumb_cache_store(const char* path, const Bitmap* thumb) {
  if (!thumb || !thumb->pixels || thumb->width < 1 || thumb->height < 1)
    return kStatusBadArguments;
  const int32_t side = thumb->width > thumb->height ? thumb->width : thumb->height;
  if (side > kThumbLargeSize) return kStatusBadArguments;
  return store(path, thumb, side <= kThumbNormalSize ? "normal" : "large");
}

int thumb_cache_mark_failed(const char* path) {
  // The standard's failure record: a PNG carrying the same chunks; its picture is not shown.
  Bitmap dot{};
  if (!bitmap_alloc(&dot, kPixGrey, 4, 1, 1)) {
    bitmap_free(&dot);
    return kStatusNoMemory;
  }
  dot.colors = 256;
  const int status = store(path, &dot, kFailFolder);
  bitmap_free(&dot);
  return status;
}

bool thumb_cache_failed(const char* path) {
  Original o;
  std::string root;
  if (describe_original(path, &o) != kStatusOk || !thumbnails_root(&root)) return false;
  FileInfo info{};
  const bool usable = read_cache_info(root + "/" + kFailFolder + "/" + o.name, 16, &info);
  const bool failed = usable && match_original(info, o) == Match::kValid;
  file_info_free(&info);
  return failed;
}

}  // namespace lumora
