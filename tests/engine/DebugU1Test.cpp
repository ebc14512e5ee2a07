// The debug sink: time stamps, the backlog before a window exists, long lines.
#include <gtest/gtest.h>

#include <vector>

#include "engine/DebugU1.h"

TEST(DebugPrintf, StampsAndBacklog)
{
  SetDebugSink(nullptr);
  DebugPrintf(5, 0, "before %d", 1);  // kept until a sink exists
  std::vector<std::string> lines;
  SetDebugSink([&](const std::string& l) { lines.push_back(l); });
  DebugPrintf(20, 0.0, "plain %s", "text");
  DebugPrintf(20, 3725.9, "stamped");  // 01:02:05 after midnight UTC
  DebugPrintf(-1, 0, "below the threshold");
  DebugPrintf(10, 86400.0 * 20000 + 59, "late");
  SetDebugSink(nullptr);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "before 1");
  EXPECT_EQ(lines[1], "plain text");
  EXPECT_EQ(lines[2], "01:02:05 stamped");
  EXPECT_EQ(lines[3], "00:00:59 late");
}

TEST(DebugPrintf, LongLineIsCutNotOverrun)
{
  std::vector<std::string> lines;
  SetDebugSink([&](const std::string& l) { lines.push_back(l); });
  const std::string big(2000, 'x');
  DebugPrintf(20, 100.0, "%s", big.c_str());
  SetDebugSink(nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), static_cast<size_t>(DEBUG_LINE_SIZE - 1));
}
