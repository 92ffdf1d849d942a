// Maker-note dispatch: where each maker's directory starts, which byte order it uses and what its
// offsets count from. The layouts are the makers' own, as documented publicly for their cameras.
#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

const uint8_t* note_bytes(const ExifBlock& tiff, uint32_t note_pos) { return tiff.data + note_pos; }

// Walks a directory that starts `skip` bytes into the note, with offsets counted from the TIFF
// data (Olympus, Sigma, Sanyo, Casio).
void walk_after_header(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, uint32_t skip,
                       const ExifTagTable& table, bool big_endian, const ExifSink& sink) {
  if (note_size < skip) return;
  ExifBlock view{tiff.data, tiff.size, big_endian};
  exif_walk_table_ifd(view, note_pos + skip, table, nullptr, kExifSectionMakernotes, sink);
}

void fujifilm(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink) {
  // "FUJIFILM", then the little-endian offset of the directory; offsets count from the note and
  // the note is little-endian whatever the block's order.
  const uint8_t* note = note_bytes(tiff, note_pos);
  if (note_size < 10 || !starts_with_nocase(note, note_size, "FUJIFILM")) return;
  ExifBlock view{note, note_size, false};
  uint16_t ifd = get16(view, 8);
  exif_walk_table_ifd(view, ifd, makernote_fujifilm_table(), nullptr, kExifSectionMakernotes, sink);
}

void casio(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink) {
  static constexpr uint8_t kQvc[6] = {'Q', 'V', 'C', 0, 0, 0};
  const uint8_t* note = note_bytes(tiff, note_pos);
  bool qvc = note_size >= 6;
  for (int i = 0; qvc && i < 6; ++i) qvc = note[i] == kQvc[i];
  if (qvc) {
    walk_after_header(tiff, note_pos, note_size, 6, makernote_casio_qvc_table(), true, sink);
  } else {
    walk_after_header(tiff, note_pos, note_size, 0, makernote_casio_table(), tiff.big_endian, sink);
  }
}

void olympus(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink) {
  const uint8_t* note = note_bytes(tiff, note_pos);
  if (!starts_with_nocase(note, note_size, "OLYMP")) return;
  // Later cameras write "OLYMPUS\0", a byte-order mark and a version, with the directory 12
  // bytes in and offsets counted from the note; read the older layout's way it would be garbage.
  if (note_size >= 14 && starts_with_nocase(note, note_size, "OLYMPUS") && note[7] == 0 &&
      ((note[8] == 'I' && note[9] == 'I') || (note[8] == 'M' && note[9] == 'M'))) {
    ExifBlock view{note, note_size, note[8] == 'M'};
    exif_walk_table_ifd(view, 12, makernote_olympus_table(), nullptr, kExifSectionMakernotes, sink);
    return;
  }
  // "OLYMP\0" and a version: the directory 8 bytes in, offsets from the TIFF data.
  walk_after_header(tiff, note_pos, note_size, 8, makernote_olympus_table(), tiff.big_endian, sink);
}

}  // namespace

void makernote_decode(int maker, const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size,
                      const ExifSink& sink) {
  if (!inside(tiff, note_pos, note_size) || note_size == 0) return;
  const uint8_t* note = note_bytes(tiff, note_pos);
  switch (maker) {
    case kMakerFujifilm:
      fujifilm(tiff, note_pos, note_size, sink);
      return;
    case kMakerOlympus:
      olympus(tiff, note_pos, note_size, sink);
      return;
    case kMakerSigma:  // "SIGMA\0\0\0" or "FOVEON\0\0", then a version
      if (starts_with_nocase(note, note_size, "sigma") || starts_with_nocase(note, note_size, "foveo"))
        walk_after_header(tiff, note_pos, note_size, 10, makernote_sigma_table(), tiff.big_endian, sink);
      return;
    case kMakerSanyo:  // "SANYO\0" and a version
      if (starts_with_nocase(note, note_size, "sanyo"))
        walk_after_header(tiff, note_pos, note_size, 8, makernote_sanyo_table(), tiff.big_endian, sink);
      return;
    case kMakerNikon:
      makernote_nikon(tiff, note_pos, note_size, sink);
      return;
    case kMakerCasio:
      casio(tiff, note_pos, note_size, sink);
      return;
    case kMakerCanon:
      makernote_canon(tiff, note_pos, note_size, sink);
      return;
    case kMakerMinolta:
      makernote_minolta(tiff, note_pos, note_size, sink);
      return;
    default:
      return;
  }
}

}  // namespace lumora
