#include "imaging/JpegCommon.h"

#include "imaging/ImageTrace.h"

#include <string>

namespace {

void ErrorExit(j_common_ptr cinfo)
{
  auto* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
  err->message[0] = 0;
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr cinfo)
{
  char text[JMSG_LENGTH_MAX];
  text[0] = 0;
  (*cinfo->err->format_message)(cinfo, text);
  ImageTrace(1, std::string("JPEG warning: ") + text + "\n");
}

}  // namespace

void JpegInitErrorMgr(JpegErrorMgr& err)
{
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
  err.message[0] = 0;
}
