#pragma once
// Error handling around libjpeg. libjpeg reports a fatal error by calling the error manager's
// error_exit, which must not return; ours jumps back with longjmp to the setjmp of the guarded
// call that was running. A longjmp skips destructors, so every libjpeg call that can fail runs
// through jpeg_guarded below, in a frame of its own that holds no object with a destructor; the
// callers' RAII holders live in frames the jump never crosses.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace lumora {

// Which table turns libjpeg's message code into the code the caller sees.
enum class JpegErrorRole {
  kMainReader,  // empty input and unsupported processes are corrupt files (10), the rest 2
  kThumbnail,   // unsupported processes 10, everything else 2 (an empty thumbnail is not a file)
  kWriter,      // every fatal error is a JPEG writing error (11)
};

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg only sees this part
  std::jmp_buf jump;
  JpegErrorRole role;
  int code;            // code chosen by the last fatal error
};

// Fills `manager` with libjpeg's standard entries, then replaces emit_message (warnings are
// silent) and error_exit (jump back). Returns the `jpeg_error_mgr*` to put in cinfo->err.
jpeg_error_mgr* jpeg_error_setup(JpegErrorManager* manager, JpegErrorRole role);

// The code a fatal error with libjpeg message code `msg_code` maps to in `role`.
int jpeg_error_code(JpegErrorRole role, int msg_code);

// Runs `call` under the manager's jump buffer: 0 when it returned, or the mapped code of the fatal
// error that ended it. `call` must not own objects with destructors (lambdas capturing references
// or pointers only). Functions that use setjmp are never inlined by the compiler, so the jump
// target is always this frame.
template <class Call>
int jpeg_guarded(JpegErrorManager* manager, Call&& call) {
  if (setjmp(manager->jump)) return manager->code;
  call();
  return 0;
}

}  // namespace lumora
