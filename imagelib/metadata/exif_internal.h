#pragma once
// Pieces shared by the Exif walk and the maker-note decoders (internal to the metadata readers).
#include <cstddef>
#include <cstdint>

#include "imagelib/metadata/exif.h"

namespace lumora {

// Ids of the text table used by the formatters.
constexpr uint32_t kTextOther = 86;
constexpr uint32_t kTextUncalibrated = 101;
constexpr uint32_t kTextRgbUncompressed = 102;
constexpr uint32_t kTextDirectlyPhotographed = 103;
constexpr uint32_t kTextInch = 104;
constexpr uint32_t kTextCentimeter = 105;
constexpr uint32_t kTextNoFlash = 106;
constexpr uint32_t kTextFlashFired = 107;

// Where the lines go.
struct ExifSink {
  ExifCallback callback;
  void* user;
  void emit(uint32_t section, uint32_t tag, const char* name, const char* text) const {
    if (callback != nullptr) callback(user, section, tag, name, text);
  }
};

// Replaces (or keeps) the text of an entry of a table walk; an empty text emits no line.
using ExifEntryFormatter = void (*)(const ExifBlock& block, const ExifEntry& entry,
                                    const ExifTagDef& def, char* out, size_t size);

// The GPS overrides (version, reference letters, latitude and longitude).
void exif_format_gps(const ExifBlock& block, const ExifEntry& entry, const ExifTagDef& def,
                     char* out, size_t size);

// "Position" of a GPS directory: latitude and longitude in signed decimal degrees with six
// decimals ("60.146706, 24.906772"). False (nothing written) unless both coordinates and both
// hemisphere letters are present and valid.
bool exif_gps_position(const ExifBlock& block, uint32_t ifd_pos, char* out, size_t size);

// Walks the directory at `ifd_pos` of `block`: every entry whose tag has a record in `table` and
// whose type is the record's or reads the same (exif_type_fits) is formatted by value-table
// lookup when the record has a value table, else by the generic rules; `formatter` (may be null)
// then may replace the text; non-empty texts are emitted with tag 0 in `section`.
void exif_walk_table_ifd(const ExifBlock& block, uint32_t ifd_pos, const ExifTagTable& table,
                         ExifEntryFormatter formatter, uint32_t section, const ExifSink& sink);

// Decodes a maker note lying at [note_pos, note_pos + note_size) of the TIFF data `tiff`.
void makernote_decode(int maker, const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size,
                      const ExifSink& sink);

// The per-maker decoders.
void makernote_canon(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink);
void makernote_minolta(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink);
void makernote_nikon(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink);

// Tables of the makers decoded by the generic walk.
const ExifTagTable& makernote_fujifilm_table();
const ExifTagTable& makernote_olympus_table();
const ExifTagTable& makernote_sigma_table();
const ExifTagTable& makernote_sanyo_table();
const ExifTagTable& makernote_casio_qvc_table();
const ExifTagTable& makernote_casio_table();

}  // namespace lumora
