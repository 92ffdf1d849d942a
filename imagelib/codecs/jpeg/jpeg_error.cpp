// libjpeg error managers: silent warnings, fatal errors mapped to library codes and jumped back.
#include "imagelib/codecs/jpeg/jpeg_error.h"

#include <jerror.h>

#include "imagelib/core/status.h"

namespace lumora {
namespace {

void silent_message(j_common_ptr, int) {}

[[noreturn]] void jump_back(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  manager->code = jpeg_error_code(manager->role, manager->pub.msg_code);
  std::longjmp(manager->jump, 1);
}

}  // namespace

int jpeg_error_code(JpegErrorRole role, int msg_code) {
  // Memory exhaustion inside libjpeg is reported as such, not as a file the reader cannot take.
  if (role != JpegErrorRole::kWriter && msg_code == JERR_OUT_OF_MEMORY) return kStatusNoMemory;
  switch (role) {
    case JpegErrorRole::kMainReader:
      // An empty file, or a process this decoder lacks (arithmetic, lossless, hierarchical), is a
      // JPEG file that cannot be read: the search for another reader stops.
      return (msg_code == JERR_INPUT_EMPTY || msg_code == JERR_SOF_UNSUPPORTED) ? kStatusCorrupt
                                                                                : kStatusNotRecognised;
    case JpegErrorRole::kThumbnail:
      return msg_code == JERR_SOF_UNSUPPORTED ? kStatusCorrupt : kStatusNotRecognised;
    case JpegErrorRole::kWriter:
      return kStatusJpegWrite;
  }
  return kStatusNotRecognised;
}

jpeg_error_mgr* jpeg_error_setup(JpegErrorManager* manager, JpegErrorRole role) {
  jpeg_std_error(&manager->pub);
  manager->pub.emit_message = silent_message;
  manager->pub.error_exit = jump_back;
  manager->role = role;
  manager->code = 0;
  return &manager->pub;
}

}  // namespace lumora
