// Text import into the plot history: header detection, column matching, values and time stamps,
// each case with LF and with CR LF line ends.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/TimeUtils.h"
#include "interp/PlotImport.h"

namespace {

std::string WithEnds(const std::string& text, bool crlf)
{
  if (!crlf) return text;
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class PlotImportTest : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override
  {
    for (int i = 0; i < WATCH_MAX_CHANNELS; ++i) std::snprintf(wl.Titles[i], sizeof wl.Titles[i], "Chn%d", i);
    pd.Header.Channels = 20;
    PlotData_AllocMemory(&pd, 200);
    SetDebugSink([this](const std::string& line) { lines.push_back(line); });
  }
  void TearDown() override
  {
    PlotData_FreeMemory(&pd);
    SetDebugSink(nullptr);
  }
  // Imports the text (line ends by the test parameter) with the separator; returns the result.
  int Import(const std::string& text, char sep, int timeColumn = 0,
             const char* timeFormat = "YYYY-MM-DD hh:mm:ss")
  {
    const std::string path = dir.file("in.txt");
    vt_test::WriteWholeFile(path, WithEnds(text, GetParam()));
    PlotImport_InitParams(&params, &wl, path.c_str(), static_cast<unsigned char>(sep), timeColumn, timeFormat);
    before = GetPreciseUnixTime(false);
    const int n = ImportTextFile(&params, &pd);
    after = GetPreciseUnixTime(false);
    return n;
  }
  // The records stored, oldest first.
  std::vector<T_PlotDataRecord> Records()
  {
    std::vector<T_PlotDataRecord> out;
    for (uint32_t i = 1; i <= pd.Header.HighestIndex; ++i) {
      T_PlotDataRecord r;
      PlotData_GetRecord(&pd, static_cast<int>(i), &r);
      out.push_back(r);
    }
    return out;
  }

  vt_test::TempDir dir;
  T_WatchList wl;
  T_PlotData pd;
  PlotImportParams params;
  std::vector<std::string> lines;
  double before = 0, after = 0;
};

TEST_P(PlotImportTest, TabSeparatedWithTimeColumn)
{
  ASSERT_EQ(Import("time\tChn0\tChn1\n2020-01-02 03:04:05\t1.5\t-2\n\n2020-01-02 03:04:15\t3\t4e3\n", '\t'), 2);
  EXPECT_EQ(params.TimeColumn, 1);
  EXPECT_STREQ(g_PlotImportErrorText, "");
  const auto r = Records();
  ASSERT_EQ(r.size(), 2u);  // the empty line gives no record
  EXPECT_EQ(r[0].Time, CalendarToUnixSeconds(2020, 1, 2, 3, 4, 5));
  EXPECT_EQ(r[1].Time, CalendarToUnixSeconds(2020, 1, 2, 3, 4, 15));
  EXPECT_EQ(r[0].Channel[0].Min, 1.5);
  EXPECT_EQ(r[0].Channel[0].Average, 1.5);
  EXPECT_EQ(r[0].Channel[1].Max, -2.0);
  EXPECT_EQ(r[1].Channel[1].Min, 4000.0);
  EXPECT_EQ(r[1].Channel[2].Min, 0.0);
}

TEST_P(PlotImportTest, TimeFromTheHeaderGrowsBySecondsWhereTheColumnDoesNotConvert)
{
  ASSERT_EQ(Import("date=1000000000;Chn0\nnone;5\nnone;6\n2001-09-09 01:46:50;7\n", ';'), 1);
  EXPECT_EQ(params.TimeColumn, 1);
  const auto r = Records();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].Time, 1000000000.0);
  EXPECT_EQ(r[1].Time, 1000000001.0);
  EXPECT_EQ(r[2].Time, 1000000010.0);  // converted
  EXPECT_EQ(r[2].Channel[0].Max, 7.0);
}

TEST_P(PlotImportTest, DateTimePatternWithoutDateTakesItFromTheStart)
{
  ASSERT_EQ(Import("Chn0\ttime\n1\t12:00:00\n", '\t', 0, "hh:mm:ss"), 1);
  EXPECT_EQ(params.TimeColumn, 2);
  const auto r = Records();
  ASSERT_EQ(r.size(), 1u);
  const double day = std::floor(before / 86400.0) * 86400.0;
  EXPECT_TRUE(r[0].Time == day + 43200.0 || r[0].Time == day + 86400.0 + 43200.0) << r[0].Time;
}

TEST_P(PlotImportTest, MatchingTitleWithoutSeparatorIsTheHeader)
{
  ASSERT_EQ(Import("Chn0\n7\n8\n", '\t'), 1);
  const auto r = Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_GE(r[0].Time, before);
  EXPECT_LE(r[0].Time, after);
  EXPECT_EQ(r[1].Time, r[0].Time + 1.0);
  EXPECT_EQ(r[1].Channel[0].Min, 8.0);
}

TEST_P(PlotImportTest, CommentsAndUpToNineEmptyLinesBeforeTheHeader)
{
  const std::string nine(9, '\n');
  ASSERT_EQ(Import("; comment\n;\tChn1\n" + nine + "Chn1\tChn2\n1\t2\n", '\t'), 2);
  EXPECT_EQ(Records().size(), 1u);
  const std::string ten(10, '\n');
  EXPECT_EQ(Import(ten + "Chn1\tChn2\n1\t2\n", '\t'), 0);
  EXPECT_STREQ(g_PlotImportErrorText, "No column titles recognized.");
}

TEST_P(PlotImportTest, TimeAndArrayWords)
{
  ASSERT_EQ(Import("TIME\tARRAY\tChn0\n2020-01-01 00:00:00\t9\t1\n", '\t'), 1);
  EXPECT_EQ(params.TimeColumn, 1);
  ASSERT_EQ(params.UnknownCount, 1);
  EXPECT_STREQ(params.UnknownTitles[0], "ARRAY");
  EXPECT_EQ(Records()[0].Channel[0].Min, 1.0);

  // "array" ends the header: the column after it is not read.
  ASSERT_EQ(Import("Chn0\tarray=\tChn1\n1\t2\t3\n", '\t'), 1);
  EXPECT_EQ(params.UnknownCount, 0);
}

TEST_P(PlotImportTest, OneTwoOrThreeNumbersPerColumn)
{
  ASSERT_EQ(Import("Chn0\tChn1\tChn2\n1.5,2,3\t1.5,2.5\t-4\n", '\t'), 3);
  const auto r = Records();
  ASSERT_EQ(r.size(), 1u);
  struct Case {
    int ch;
    double min, max, avg;
  } cases[] = {{0, 1.5, 2, 3}, {1, 1.5, 2.5, 2.5}, {2, -4, -4, -4}};
  for (const Case& c : cases) {
    EXPECT_EQ(r[0].Channel[c.ch].Min, c.min);
    EXPECT_EQ(r[0].Channel[c.ch].Max, c.max);
    EXPECT_EQ(r[0].Channel[c.ch].Average, c.avg);
  }
}

TEST_P(PlotImportTest, ColumnsFromTheFortyFirstOnAreIgnored)
{
  std::string header, data;
  for (int i = 0; i < 39; ++i) {
    header += "U" + std::to_string(i) + "\t";
    data += "0\t";
  }
  ASSERT_EQ(Import(header + "Chn3\tChn4\n" + data + "5\t6\n", '\t'), 1);
  EXPECT_EQ(Records()[0].Channel[3].Min, 5.0);
  EXPECT_EQ(Records()[0].Channel[4].Min, 0.0);
  EXPECT_EQ(params.UnknownCount, 20);  // room for 20
}

TEST_P(PlotImportTest, SeparatorZeroReadsNothing)
{
  EXPECT_EQ(Import("Chn0\n1\n", '\0'), 0);
  EXPECT_STREQ(g_PlotImportErrorText, "");
  EXPECT_EQ(pd.Header.HighestIndex, 0u);
  EXPECT_TRUE(lines.empty());
}

TEST_P(PlotImportTest, MissingFileGivesTheReason)
{
  PlotImport_InitParams(&params, &wl, dir.file("absent.txt").c_str(), '\t', 0, "");
  EXPECT_EQ(ImportTextFile(&params, &pd), 0);
  EXPECT_STRNE(g_PlotImportErrorText, "");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(std::string("Can't open imported file, Windoze says \"") + g_PlotImportErrorText),
            std::string::npos);
}

TEST_P(PlotImportTest, OversizedInputStaysInBounds)
{
  const std::string longTitle(500, 'T');
  const std::string longNumber(290, '9');
  std::string many;
  for (int i = 0; i < 60; ++i) many += "Chn0\t";
  ASSERT_EQ(Import(longTitle + "\tChn0\n0\t1e999\n0\t" + longNumber + "\n" + many + "\n", '\t'), 1);
  // The 500-character title is one unknown title cut to 15 characters.
  EXPECT_STREQ(params.UnknownTitles[0], "TTTTTTTTTTTTTTT");
  const auto r = Records();
  ASSERT_GE(r.size(), 2u);
  EXPECT_TRUE(std::isinf(r[0].Channel[0].Min) || r[0].Channel[0].Min > 1e300);
  EXPECT_GT(r[1].Channel[0].Min, 9e289);
}

// A data line of 20 columns with min,max,avg each is far longer than 299 characters: it is one
// record, not two. A UTF-8 byte-order mark before the header does not hide the time column.
TEST_P(PlotImportTest, WholeLinesAndAByteOrderMark)
{
  std::string header = "time", line1 = "2020-01-02 03:04:05", line2 = "2020-01-02 03:04:06";
  for (int i = 0; i < 20; ++i) {
    header += "\tChn" + std::to_string(i);
    line1 += "\t-1234.56789012345,-1234.56789012345," + std::to_string(i);
    line2 += "\t7";
  }
  ASSERT_GT(line1.size(), 700u);
  for (const char* bom : {"", "\xEF\xBB\xBF"}) {
    SCOPED_TRACE(bom[0] ? "with byte-order mark" : "without");
    PlotData_FreeMemory(&pd);
    PlotData_AllocMemory(&pd, 200);
    ASSERT_EQ(Import(bom + header + "\n" + line1 + "\n" + line2 + "\n", '\t'), 20);
    EXPECT_EQ(params.TimeColumn, 1);
    EXPECT_EQ(params.UnknownCount, 0);
    const auto r = Records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].Time, CalendarToUnixSeconds(2020, 1, 2, 3, 4, 5));
    EXPECT_EQ(r[1].Time, CalendarToUnixSeconds(2020, 1, 2, 3, 4, 6));
    EXPECT_EQ(r[0].Channel[0].Min, -1234.56789012345);
    EXPECT_EQ(r[0].Channel[19].Average, 19.0);
    EXPECT_EQ(r[1].Channel[19].Min, 7.0);
  }
}

INSTANTIATE_TEST_SUITE_P(LineEnds, PlotImportTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "CRLF" : "LF"; });

}  // namespace
