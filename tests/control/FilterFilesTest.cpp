#include <gtest/gtest.h>

#include <cstring>

#include "common/TestUtil.h"
#include "control/FilterFiles.h"
#include "control/FilterHandover.h"
#include "engine/DigiFilter.h"
#include "platform/IniFile.h"

using vt_test::ReadWholeFile;
using vt_test::TempDir;
using vt_test::WriteWholeFile;

namespace {
// The INI class writes CR LF line ends.
std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

DigiFilterBlock Block(int maxCoeff, int iir, int cascaded) {
  DigiFilterBlock b{};
  DigiFilter_Reset(&b, true);
  b.MaxCoeff = maxCoeff;
  b.Is_IIR = static_cast<uint8_t>(iir);
  b.Cascaded = cascaded;
  return b;
}
}  // namespace

// A FIR block: no beta keys; numbers with 15 digits and "."; description lines.
TEST(FilterFiles, FltWrittenAsExpected) {
  TempDir dir;
  DigiFilterBlock b = Block(2, 0, 0);
  b.alpha[0] = 0.125;
  b.alpha[1] = -1.0 / 3.0;
  b.alpha[2] = 1e-20;
  WriteFilterFile(dir.file("a.flt"), "", &b, {"first", "second"});
  EXPECT_EQ(ReadWholeFile(dir.file("a.flt")),
            Crlf("[FilterParams]\nMaxCoeff=2\nIs_IIR=0\nCascaded=0\n"
                 "[FilterDescription]\nLines=2\nl00=first\nl01=second\n"
                 "[FilterCoefficients]\nalpha0=0.125\nalpha1=-0.333333333333333\nalpha2=1E-20\n"));
}

TEST(FilterFiles, FltRoundTripBothChannels) {
  TempDir dir;
  const std::string f = dir.file("both.flt");
  DigiFilterBlock left = Block(29, 1, 3), right = Block(5, 0, 0);
  for (int i = 0; i <= 29; ++i) {
    left.alpha[i] = 0.1 * i - 1.0;
    left.beta[i] = i ? 1.0 / (i + 3) : 0.0;
  }
  for (int i = 0; i <= 5; ++i) right.alpha[i] = i * 1e-7;
  WriteFilterFile(f, FilterChannelSuffix(0), &left, {"L"});
  WriteFilterFile(f, FilterChannelSuffix(1), &right, {"R1", "R2"});
  const std::string text = ReadWholeFile(f);
  EXPECT_NE(text.find("[FilterParams2]"), std::string::npos);
  EXPECT_NE(text.find("[FilterCoefficients2]"), std::string::npos);
  EXPECT_EQ(text.find("beta0="), std::string::npos);  // IIR without beta0
  EXPECT_NE(text.find("beta29="), std::string::npos);

  DigiFilterBlock l2 = Block(1, 0, 0), r2 = Block(1, 1, 7);
  l2.alpha[100] = 5.0;  // above MaxCoeff: kept
  r2.beta[3] = 9.0;     // FIR: beta comes back as 0
  FilterDescription d;
  ReadFilterFile(f, "", &l2, &d);
  EXPECT_EQ(d, FilterDescription{"L"});
  ReadFilterFile(f, "2", &r2, &d);
  EXPECT_EQ(d, (FilterDescription{"R1", "R2"}));
  EXPECT_EQ(l2.MaxCoeff, 29);
  EXPECT_EQ(l2.Is_IIR, 1);
  EXPECT_EQ(l2.Cascaded, 3);
  EXPECT_EQ(l2.alpha[100], 5.0);
  for (int i = 0; i <= 29; ++i) {
    EXPECT_NEAR(l2.alpha[i], left.alpha[i], 5e-15 * std::abs(left.alpha[i])) << i;
    EXPECT_NEAR(l2.beta[i], left.beta[i], 5e-15 * std::abs(left.beta[i])) << i;
  }
  EXPECT_EQ(r2.MaxCoeff, 5);
  EXPECT_EQ(r2.Is_IIR, 0);
  EXPECT_EQ(r2.Cascaded, 0);
  EXPECT_EQ(r2.beta[3], 0.0);
  EXPECT_DOUBLE_EQ(r2.alpha[4], 4e-7);
}

// Malformed, truncated and odd files: defaults, limits, no crash.
TEST(FilterFiles, FltMalformedAndTruncated) {
  TempDir dir;
  struct Case {
    const char* text;
    int maxCoeff, isIir, cascaded;
    double alpha0, alpha2;
    size_t lines;
  } cases[] = {
      // missing file content: keeps MaxCoeff/Is_IIR, Cascaded 0, coefficients 0, 10 empty lines
      {"", 2, 1, 0, 0.0, 0.0, 10},
      // truncated in the middle of the coefficients
      {"[FilterParams]\nMaxCoeff=2\nIs_IIR=0\nCascaded=0\n[FilterCoefficients]\nalpha0=0.5\nalp",
       2, 0, 0, 0.5, 0.0, 10},
      // garbage numbers
      {"[FilterParams]\nMaxCoeff=zwei\nIs_IIR=7\nCascaded=x\n[FilterDescription]\nLines=25\n"
       "[FilterCoefficients]\nalpha0=1,5\nalpha1=nan\nalpha2=1e400\n",
       2, 1, 0, 0.0, 0.0, 20},
      // binary junk
      {"\x01\x02[\xff\n=\n[Other]\nMaxCoeff=3\n", 2, 1, 0, 0.0, 0.0, 10},
      // negative line count, negative MaxCoeff
      {"[FilterParams]\nMaxCoeff=-4\n[FilterDescription]\nLines=-1\n", -4, 1, 0, 7.0, 7.0, 0},
  };
  for (const Case& c : cases) {
    const std::string f = dir.file("m.flt");
    WriteWholeFile(f, c.text);
    DigiFilterBlock b = Block(2, 1, 3);
    b.alpha[0] = b.alpha[2] = 7.0;
    FilterDescription d{"old"};
    ReadFilterFile(f, "", &b, &d);
    EXPECT_EQ(b.MaxCoeff, c.maxCoeff) << c.text;
    EXPECT_EQ(b.Is_IIR, c.isIir) << c.text;
    EXPECT_EQ(b.Cascaded, c.cascaded) << c.text;
    EXPECT_EQ(b.alpha[0], c.alpha0) << c.text;
    EXPECT_EQ(b.alpha[2], c.alpha2) << c.text;
    EXPECT_EQ(d.size(), c.lines) << c.text;
  }
  // A file that does not exist reads like an empty one.
  DigiFilterBlock b = Block(2, 1, 3);
  FilterDescription d;
  ReadFilterFile(dir.file("none.flt"), "", &b, &d);
  EXPECT_EQ(b.Cascaded, 0);
  EXPECT_EQ(d.size(), 10u);
}

// MaxCoeff 200: coefficients 0..128 read, 200 kept in the edited copy and written back with
// alpha keys up to alpha128; the running copy gets 128. A 30-line memo is written as 20.
TEST(FilterFiles, FltOversizeValues) {
  TempDir dir;
  std::string text = "[FilterParams]\nMaxCoeff=200\nIs_IIR=0\nCascaded=1\n[FilterCoefficients]\n";
  for (int i = 0; i <= 200; ++i) text += "alpha" + std::to_string(i) + "=0.5\n";
  WriteWholeFile(dir.file("big.flt"), text);
  ReadFilterFile(dir.file("big.flt"), "", &g_EditedDigiFilters[1], &g_FilterDescription);
  EXPECT_EQ(g_EditedDigiFilters[1].MaxCoeff, 200);
  EXPECT_EQ(g_EditedDigiFilters[1].Cascaded, 1);
  EXPECT_EQ(g_EditedDigiFilters[1].alpha[128], 0.5);
  ASSERT_TRUE(ActivateEditedFilter(1));
  EXPECT_EQ(g_DigiFilters[1].MaxCoeff, 128);
  EXPECT_EQ(g_DigiFilters[1].Cascaded, 0);
  EXPECT_EQ(g_EditedDigiFilters[1].MaxCoeff, 200);
  EXPECT_EQ(g_EditedDigiFilters[1].Cascaded, 1);

  FilterDescription memo;
  for (int i = 0; i < 30; ++i) memo.push_back("line " + std::to_string(i));
  WriteFilterFile(dir.file("out.flt"), "", &g_EditedDigiFilters[1], memo);
  const std::string out = ReadWholeFile(dir.file("out.flt"));
  EXPECT_NE(out.find(Crlf("MaxCoeff=200\n")), std::string::npos);
  EXPECT_NE(out.find(Crlf("alpha128=0.5\n")), std::string::npos);
  EXPECT_EQ(out.find("alpha129"), std::string::npos);
  EXPECT_NE(out.find(Crlf("Lines=20\n")), std::string::npos);
  EXPECT_NE(out.find(Crlf("l19=line 19\n")), std::string::npos);
  EXPECT_EQ(out.find("l20"), std::string::npos);
}

// Filter and IIR-3 parameters of both channels in one file (a settings profile's filter part).
TEST(FilterFiles, DesignParamsRoundTrip) {
  TempDir dir;
  const std::string f = dir.file("profile.usr");
  g_EditedDigiFilters[0] = Block(2, 1, 0);
  g_EditedDigiFilters[0].alpha[1] = 0.75;
  g_EditedDigiFilters[1] = Block(3, 0, 0);
  g_EditedDigiFilters[1].alpha[3] = -0.5;
  g_IIR3DesignParams[0] = {700.5, 60.25, 3};
  g_IIR3DesignParams[1] = {1200.0, 80.0, 6};
  g_FilterDescription = {"shared"};
  SaveFilterAndDesignParams(0, f);
  SaveFilterAndDesignParams(1, f);
  const std::string text = ReadWholeFile(f);
  EXPECT_NE(text.find(Crlf("[IIR3design]\nFcenter=700.5\nBandwidth=60.25\nResponse=3\n")),
            std::string::npos);
  EXPECT_NE(text.find(Crlf("[IIR3design2]\nFcenter=1200\nBandwidth=80\nResponse=6\n")),
            std::string::npos);

  g_EditedDigiFilters[0] = Block(1, 0, 0);
  g_EditedDigiFilters[1] = Block(1, 0, 0);
  g_IIR3DesignParams[0] = g_IIR3DesignParams[1] = {650.0, 100.0, 1};
  LoadFilterAndDesignParams(0, f);
  LoadFilterAndDesignParams(1, f);
  LoadFilterAndDesignParams(2, f);  // no such channel: nothing
  EXPECT_EQ(g_EditedDigiFilters[0].alpha[1], 0.75);
  EXPECT_EQ(g_EditedDigiFilters[1].alpha[3], -0.5);
  EXPECT_EQ(g_IIR3DesignParams[0].Fcenter, 700.5);
  EXPECT_EQ(g_IIR3DesignParams[1].Response, 6);

  // Settings-file reader path: only with the window, then both channels run.
  g_EditedDigiFilters[0] = Block(1, 0, 0);
  SetFilterControlWindowHook({});
  LoadFilterFileForChannel(0, f, &g_EditedDigiFilters[0]);
  EXPECT_EQ(g_EditedDigiFilters[0].alpha[1], 0.0);
  int refreshed = 0;
  SetFilterControlWindowHook([&] { ++refreshed; });
  g_IIR3DesignParams[0] = {1.0, 2.0, 0};
  LoadFilterFileForChannel(0, f, &g_EditedDigiFilters[0]);
  LoadFilterFileForChannel(1, f, &g_EditedDigiFilters[1]);
  SetFilterControlWindowHook({});
  EXPECT_EQ(refreshed, 2);
  EXPECT_EQ(g_DigiFilters[0].alpha[1], 0.75);
  EXPECT_EQ(g_DigiFilters[1].alpha[3], -0.5);
  EXPECT_EQ(g_IIR3DesignParams[0].Fcenter, 1.0);  // IIR3design not read here
  EXPECT_EQ(g_FilterDescription, FilterDescription{"shared"});

  // Malformed design values keep the current ones.
  WriteWholeFile(f, "[IIR3design]\nFcenter=abc\nBandwidth=\nResponse=x\n");
  LoadFilterAndDesignParams(0, f);
  EXPECT_EQ(g_IIR3DesignParams[0].Fcenter, 1.0);
  EXPECT_EQ(g_IIR3DesignParams[0].Bandwidth, 2.0);
  EXPECT_EQ(g_IIR3DesignParams[0].Response, 0);
}

TEST(FilterFiles, ChainFile) {
  TempDir dir;
  const std::string f = dir.file("a.flc");
  FilterChainDesign d{};
  d.NrOfStages = 40;
  for (int i = 0; i < kFilterChainStages; ++i) d.Stage[i] = {i % 5, 700.0 + i, 30.5, 1.25};
  WriteFilterChainFile(f, &d);
  EXPECT_EQ(d.NrOfStages, 32);  // limited in the record itself
  const std::string text = ReadWholeFile(f);
  const std::string head = Crlf("[FilterChainParams]\nNrOfStages=32\n[Stage0]\nfilter_type=0\nf_center=700\n"
                 "bandwidth=30.5\ngain=1.25\n");
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_NE(text.find("[Stage31]"), std::string::npos);
  EXPECT_EQ(text.find("[Stage32]"), std::string::npos);

  FilterChainDesign r{};
  r.Stage[32].f_center = 99.0;
  ReadFilterChainFile(f, &r);
  EXPECT_EQ(r.NrOfStages, 32);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(r.Stage[i].filter_type, i % 5);
    EXPECT_EQ(r.Stage[i].f_center, 700.0 + i);
  }
  EXPECT_EQ(r.Stage[32].f_center, 99.0);

  // 40 in a file reads 32; malformed values keep the current ones; truncated file.
  WriteWholeFile(f, "[FilterChainParams]\nNrOfStages=40\n[Stage0]\nfilter_type=q\nf_center=1e\n"
                    "bandwidth=12\n[Stage1]\nf_cen");
  r.Stage[0] = {3, 500.0, 20.0, 2.0};
  r.Stage[1] = {4, 600.0, 20.0, 2.0};
  ReadFilterChainFile(f, &r);
  EXPECT_EQ(r.NrOfStages, 32);
  EXPECT_EQ(r.Stage[0].filter_type, 3);
  EXPECT_EQ(r.Stage[0].f_center, 500.0);
  EXPECT_EQ(r.Stage[0].bandwidth, 12.0);
  EXPECT_EQ(r.Stage[1].f_center, 600.0);
  WriteWholeFile(f, "[FilterChainParams]\nNrOfStages=-3\n");
  ReadFilterChainFile(f, &r);
  EXPECT_EQ(r.NrOfStages, -3);
}

TEST(FilterFiles, RemezDesignFile) {
  TempDir dir;
  const std::string f = dir.file("a.fir");
  RemezDesignSpec s;
  s.NrCoeffs = "104";
  s.NrBands = 3;
  s.FltType = 2;
  const char* cells[3][4] = {{"0", "0.1", "0", "1"}, {"0.15", "0.25", "1", "10"},
                             {"0.3", "0.5", "0", "1"}};
  for (int b = 0; b < 3; ++b)
    for (int c = 0; c < 4; ++c) s.Bands[b][c] = cells[b][c];
  WriteRemezDesignFile(f, s);
  EXPECT_EQ(ReadWholeFile(f),
            Crlf("[RemezFilterParams]\nNrCoeffs=104\nNrBands=3\nFltType=2\n"
                 "[Band1]\nl_edge=0\nu_edge=0.1\nresponse=0\nweight=1\n"
                 "[Band2]\nl_edge=0.15\nu_edge=0.25\nresponse=1\nweight=10\n"
                 "[Band3]\nl_edge=0.3\nu_edge=0.5\nresponse=0\nweight=1\n"));
  RemezDesignSpec r;
  r.NrCoeffs = "x";
  ReadRemezDesignFile(f, &r);
  EXPECT_EQ(r.NrCoeffs, "104");
  EXPECT_EQ(r.NrBands, 3);
  EXPECT_EQ(r.FltType, 2);
  for (int b = 0; b < 3; ++b)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(r.Bands[b][c], cells[b][c]);

  // One band is written as it is, reads back as two (the second empty); 15 bands read 10;
  // no FltType selects the differentiator (1).
  s.NrBands = 1;
  WriteRemezDesignFile(dir.file("one.fir"), s);
  RemezDesignSpec one;
  one.Bands[1][0] = "stale";
  ReadRemezDesignFile(dir.file("one.fir"), &one);
  EXPECT_EQ(one.NrBands, 2);
  EXPECT_EQ(one.Bands[0][1], "0.1");
  EXPECT_EQ(one.Bands[1][0], "");
  std::string many = "[RemezFilterParams]\nNrBands=15\n";
  for (int b = 1; b <= 15; ++b) many += "[Band" + std::to_string(b) + "]\nl_edge=" + std::to_string(b) + "\n";
  WriteWholeFile(f, many);
  ReadRemezDesignFile(f, &r);
  EXPECT_EQ(r.NrBands, 10);
  EXPECT_EQ(r.Bands[9][0], "10");
  EXPECT_EQ(r.FltType, 1);
  EXPECT_EQ(r.NrCoeffs, "104");  // missing key keeps the edit's text
  // Truncated and malformed: what is there is read, the rest takes the defaults.
  WriteWholeFile(f, "[RemezFilterParams]\nNrCoeffs=\nNrBands=abc\nFltType=0\n[Band1]\nl_edge=0.1\nu_ed");
  RemezDesignSpec t;
  t.NrCoeffs = "64";
  t.Bands[1][2] = "stale";
  ReadRemezDesignFile(f, &t);
  EXPECT_EQ(t.NrCoeffs, "");  // present but empty
  EXPECT_EQ(t.NrBands, 2);
  EXPECT_EQ(t.FltType, 0);
  EXPECT_EQ(t.Bands[0][0], "0.1");
  EXPECT_EQ(t.Bands[0][1], "");
  EXPECT_EQ(t.Bands[1][2], "");
  s.NrBands = 12;
  WriteRemezDesignFile(f, s);
  EXPECT_NE(ReadWholeFile(f).find("NrBands=10"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(f).find("NrBands=12"), std::string::npos);
}

// A file that cannot be written raises the INI class's error.
TEST(FilterFiles, WriteFailureIsReported) {
  TempDir dir;
  const std::string f = dir.file("no/such/dir/x.flt");
  DigiFilterBlock b = Block(1, 0, 0);
  EXPECT_THROW(WriteFilterFile(f, "", &b, {}), EIniFileError);
  FilterChainDesign d{};
  EXPECT_THROW(WriteFilterChainFile(dir.file("no/x.flc"), &d), EIniFileError);
  EXPECT_THROW(WriteRemezDesignFile(dir.file("no/x.fir"), RemezDesignSpec{}), EIniFileError);
}
