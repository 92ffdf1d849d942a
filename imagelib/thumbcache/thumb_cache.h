#pragma once
// The shared thumbnail cache of the freedesktop.org Thumbnail Managing Standard (version 0.8.0),
// the one desktop file managers (GNOME Files, Thunar, Dolphin, Nemo) use, so thumbnails made by
// them serve Lumora and the other way round.
//
// Layout: $XDG_CACHE_HOME/thumbnails/ ($HOME/.cache when XDG_CACHE_HOME is unset, empty or not
// absolute), with
//   normal/NAME.png   thumbnails that fit 128 x 128 pixels
//   large/NAME.png    thumbnails that fit 256 x 256 pixels
//   fail/lumora-VERSION/NAME.png   files Lumora could not read (a 1 x 1 picture)
// NAME being the MD5 of the file's URI in 32 lower-case hex digits. Each PNG carries the text
// chunks Thumb::URI (the file's URI), Thumb::MTime (its modification time in whole seconds since
// 1970) and Thumb::Size (its size in bytes). A thumbnail counts only while Thumb::URI is the
// file's URI and Thumb::MTime its modification time (and Thumb::Size, when present, its size):
// an edited file is thumbnailed afresh, and its new thumbnail replaces the stale one.
//
// Files are written atomically (a temporary file in the same folder, renamed over the old one)
// with mode 0600; folders created have mode 0700. A cache that cannot be read or written (a
// read-only or full disk, a file in the way of a folder, no home) never fails the caller's work:
// the lookups miss and the stores report a status that the caller may ignore.
//
// Typical use by a thumbnail worker, for a box of B x B pixels (B at most 256):
//   if (thumb_cache_failed(path)) -> show the "cannot read" thumbnail, done;
//   if (thumb_cache_lookup(path, B, &bitmap, &params) == 0) -> show it, done;
//   load the picture with params.max_width = params.max_height = thumb_cache_flavour_size(B);
//   failed: thumb_cache_mark_failed(path);
//   else, unless the load took the file's embedded (Exif) thumbnail (FileInfo::reader_flag 1,
//   cheaper to read again than a cached PNG): thumb_cache_store(path, &bitmap);
//   then reduce the bitmap to the box (resample_shrink or resample_nearest).
//
// All functions are safe on any number of threads at once: the cache's state lives in the file
// system, each file is replaced by one rename, and a reader sees either the old or the new file.
// Paths are UTF-8 (or the file system's bytes); relative paths are taken from the current folder.
#include <cstddef>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/load.h"

namespace lumora {

// Sides of the two flavours, in pixels.
constexpr int kThumbNormalSize = 128;
constexpr int kThumbLargeSize = 256;

// Buffer sizes: the name is 32 hex digits and ".png".
constexpr size_t kThumbNameSize = 37;

// The side of the flavour that serves a box of `box` pixels: 128 up to 128, 256 up to 256, 0 for
// larger boxes (the cache has no flavour for them) and for boxes below 1.
int thumb_cache_flavour_size(int box);

// The file's URI as the standard defines it (RFC 2396, as GLib writes file URIs): "file://" and
// the absolute path ("." and ".." segments and repeated slashes removed, symbolic links kept),
// each byte outside the letters, digits, "-._~!$&'()*+,=:@" and "/" written as %XX in upper-case
// hex (spaces, non-ASCII UTF-8 bytes, '%', '#', '?', ';'). 0 on success; 16 when the result does
// not fit `capacity` bytes or `path` is empty; 3 when a relative path cannot be made absolute.
int thumb_cache_uri(const char* path, char* out, size_t capacity);

// The cache file name of `path`: MD5 of its URI in hex and ".png" (kThumbNameSize bytes).
// Same statuses as thumb_cache_uri.
int thumb_cache_name(const char* path, char* out, size_t capacity);

// The full path of the cache file of `path` for a box of `box` pixels (the normal or large
// folder). 0, 16 (box above 256 or too small a buffer), 3 (no cache folder: neither
// XDG_CACHE_HOME nor HOME usable).
int thumb_cache_file(const char* path, int box, char* out, size_t capacity);

// Looks for a valid thumbnail of `path` for a box of `box` pixels (1 to 256) and loads it into
// `out` with the caller's `params` (component order, alignment, reduce mode, callbacks; its
// max_width and max_height, or box x box when they are below 1, bound the result, so a 128-pixel
// cached thumbnail comes out at the box). `params` may be null (the library's defaults). Returns
// 0 on a valid hit; 3 when there is none (no file, stale, written for another URI, unreadable or
// damaged, or `path` itself is not a readable regular file), and `out` is then empty; 1 when
// memory is short. Thumbnails written by other programs count the same as Lumora's own.
int thumb_cache_lookup(const char* path, int box, Bitmap* out, const LoadParams* params);

// Stores `thumb` as the thumbnail of `path`: in normal/ when its larger side is at most 128
// pixels, in large/ when at most 256 (a larger picture gives 16). `thumb` must be the picture
// reduced to fit the flavour's box, or the whole picture when it is smaller than that; a
// thumbnail made for a smaller box would look blurred in every program that shares the cache.
// Returns 0; 3 when `path` is not a readable regular file or lies inside the cache itself (the
// standard forbids thumbnails of thumbnails); 5 when a folder cannot be created; 6 when the file
// cannot be written; 7 when the PNG writer cannot store `thumb`.
int thumb_cache_store(const char* path, const Bitmap* thumb);

// Records that `path` could not be read, in fail/lumora-VERSION/, so it is not tried again until
// it changes. Statuses as thumb_cache_store.
int thumb_cache_mark_failed(const char* path);

// True while a failure record of Lumora's for `path` exists and still matches its URI,
// modification time and size.
bool thumb_cache_failed(const char* path);

}  // namespace lumora
