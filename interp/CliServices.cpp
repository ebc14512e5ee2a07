// The services of other subsystems that the interpreter uses, reached in one place.
#include <cstring>
#include <vector>

#include "engine/PreciseClock.h"
#include "engine/SndConfig.h"
#include "engine/TimeUtils.h"
#include "interp/CliInternal.h"
#include "interp/CmdWinMsg.h"

double CliNowUnixTime() { return GetPreciseUnixTime(true); }
double CliCoarseUnixTime() { return GetPreciseUnixTime(false); }

int CliMsgDisplay() { return SndConfig.MsgDisplay; }
bool CliMsgErrorsWanted() { return (CliMsgDisplay() & (MSGDISP_ERRORS | MSGDISP_WARNINGS)) != 0; }

std::string CliFormatDateTime(const char* pattern, double unixSeconds)
{
  // Every pattern character yields at most a few characters ("YYYY", month names, ".s").
  const size_t size = 4 * std::strlen(pattern) + 16;
  std::vector<char> buf(size);
  FormatUnixDateTime(pattern, unixSeconds, buf.data(), size);
  return buf.data();
}

bool CliParseDateTime(const char* pattern, double* value, const char** text)
{
  return ParseDateTimeByFormat(pattern, value, text);
}
