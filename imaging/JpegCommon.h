#pragma once
// libjpeg glue shared by the JPEG decoder and encoder.
//
// libjpeg reports fatal errors through error_exit, which must not return. Exceptions are
// not thrown through libjpeg's C frames: error_exit formats the message and jumps back
// (longjmp) to the guarded call that entered libjpeg; the caller then aborts the
// (de)compression and raises the CTextException. Only plain C calls run between a guard's
// setjmp and a possible longjmp, so no destructor is ever skipped.
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

struct JpegErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// Installs the standard error manager with our error_exit (jump back) and output_message
// (warnings to the trace, never to stderr).
void JpegInitErrorMgr(JpegErrorMgr& err);
