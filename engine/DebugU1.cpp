// The diagnostic sink.
#include "engine/DebugU1.h"

#include <cstdarg>
#include <cstdio>
#include <deque>

#include "engine/TimeUtils.h"

namespace {

constexpr size_t kBacklogLines = 200;

std::function<void(const std::string&)>& Sink()
{
  static std::function<void(const std::string&)> sink;
  return sink;
}

std::deque<std::string>& Backlog()
{
  static std::deque<std::string> lines;
  return lines;
}

}  // namespace

void DebugPrintf(int level, double time, const char* format, ...)
{
  if (level < DEBUG_LEVEL_THRESHOLD) return;
  char line[DEBUG_LINE_SIZE];
  int pos = 0;
  if (time > 0.0) {
    pos = TimeOfDayToString(static_cast<int>(static_cast<long long>(time) % 86400), line, ':');
    line[pos++] = ' ';
    line[pos] = '\0';
  }
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + pos, sizeof line - static_cast<size_t>(pos), format, args);
  va_end(args);
  if (Sink()) {
    Sink()(line);
  } else {
    Backlog().emplace_back(line);
    if (Backlog().size() > kBacklogLines) Backlog().pop_front();
  }
}

void SetDebugSink(std::function<void(const std::string& line)> sink)
{
  Sink() = std::move(sink);
  if (Sink()) {
    while (!Backlog().empty()) {
      std::string first = std::move(Backlog().front());
      Backlog().pop_front();
      Sink()(first);
    }
  }
}
