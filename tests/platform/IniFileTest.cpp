// IniFile: the profile semantics as one table of cases. Each case starts from a file (or no
// file), runs one operation and checks what it returned and, for writes, the exact bytes of
// the file afterwards (or that the old file is untouched when the write fails).
#include "platform/IniFile.h"

#include "common/TestUtil.h"

#include <clocale>
#include <csignal>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include <sys/resource.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using vt_test::ReadWholeFile;
using vt_test::WriteWholeFile;

const char* const kSample =
    "; settings\r\n"
    "[Main]\r\n"
    "  Key1 =  value one  \r\n"
    "Empty=\r\n"
    ";Commented=yes\r\n"
    "Hex=0x1F\r\n"
    "Dollar=$ff\r\n"
    "Big=2147483648\r\n"
    "Neg=-5\r\n"
    "Zero=0\r\n"
    "Frac=1.5\r\n"
    "Bad=12abc\r\n"
    "key1=second\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[Floats]\r\n"
    "F=2.5\r\n"
    "Comma=1,5\r\n"
    "[MAIN]\r\n"
    "Other=in the second Main\r\n";

const char* const kSampleLf = "[Main]\nKey1=value one\nEmpty=\n\n[Floats]\nF=2.5\n";

// Where the file lives for a case.
enum class Where {
  Dir,           // a fresh directory
  MissingDir,    // below a directory that does not exist
  DirIsFile,     // below a "directory" that is a plain file
  TargetIsDir,   // the file name is taken by a non-empty directory
  FileSizeLimit  // writes beyond 16 bytes fail (RLIMIT_FSIZE; works as root too)
};

struct IniCase {
  const char* name;
  const char* initial;  // nullptr: no file
  std::function<std::string(IniFile&)> op;
  const char* result;    // what op returns
  const char* expected;  // the file after UpdateFile(); nullptr: unchanged (or still absent)
  Where where = Where::Dir;
  bool writeFails = false;  // UpdateFile() throws "Unable to write to <full path>"
};

std::string Str(int v) { return std::to_string(v); }
std::string Join(const std::vector<std::string>& v)
{
  std::string s;
  for (const auto& x : v) s += x + "|";
  return s;
}

const IniCase kCases[] = {
    // ---- reading
    {"CaseInsensitiveAndTrimmed", kSample,
     [](IniFile& f) { return f.ReadString("MAIN", "KEY1", "def"); }, "value one", nullptr},
    {"FirstKeyWins", kSample, [](IniFile& f) { return f.ReadString("main", "key1", "def"); },
     "value one", nullptr},
    {"FirstSectionWins", kSample, [](IniFile& f) { return f.ReadString("Main", "Other", "def"); },
     "def", nullptr},
    {"EmptyKeyIsEmptyNotDefault", kSample,
     [](IniFile& f) { return f.ReadString("Main", "Empty", "def") + "/" + Str(f.ValueExists("Main", "Empty")); },
     "/1", nullptr},
    {"MissingKeyGivesDefault", kSample,
     [](IniFile& f) { return f.ReadString("Main", "Nope", "def") + "/" + Str(f.ValueExists("Main", "Nope")); },
     "def/0", nullptr},
    {"MissingSectionGivesDefault", kSample,
     [](IniFile& f) { return f.ReadString("Nope", "Key1", "def") + Str(f.SectionExists("Nope")); },
     "def0", nullptr},
    {"CommentIsNoKey", kSample, [](IniFile& f) { return f.ReadString("Main", ";Commented", "def"); },
     "def", nullptr},
    {"LineWithoutEqualsIsNoKey", kSample,
     [](IniFile& f) { return f.ReadString("Main", "no equals sign here", "def"); }, "def", nullptr},
    {"Integers", kSample,
     [](IniFile& f) {
       std::string s;
       for (const char* k : {"Hex", "Dollar", "Big", "Neg", "Frac", "Bad", "Empty", "Nope"})
         s += Str(f.ReadInteger("Main", k, 7)) + " ";
       return s;
     },
     "31 255 7 -5 7 7 7 7 ", nullptr},
    {"BoolsAreIntegers", kSample,
     [](IniFile& f) {
       return Str(f.ReadBool("Main", "Neg", false)) + Str(f.ReadBool("Main", "Zero", true)) +
              Str(f.ReadBool("Main", "Bad", true)) + Str(f.ReadBool("Main", "Nope", false));
     },
     "1010", nullptr},
    {"Floats", kSample,
     [](IniFile& f) {
       return Str(static_cast<int>(f.ReadFloat("Floats", "F", 0) * 10)) + " " +
              Str(static_cast<int>(f.ReadFloat("Floats", "Comma", -1)));
     },
     "25 -1", nullptr},
    {"SectionsInFileOrder", kSample, [](IniFile& f) { return Join(f.ReadSections()); },
     "Main|Floats|", nullptr},
    {"KeysOfFirstSection", kSample, [](IniFile& f) { return Join(f.ReadSection("main")); },
     "Key1|Empty|Hex|Dollar|Big|Neg|Zero|Frac|Bad|", nullptr},
    {"LfFileReads", kSampleLf,
     [](IniFile& f) { return f.ReadString("main", "key1", "d") + "/" + f.ReadString("floats", "f", "d"); },
     "value one/2.5", nullptr},
    {"MissingFileReadsEmpty", nullptr,
     [](IniFile& f) { return f.ReadString("Main", "Key1", "def") + Str(f.ReadSections().size()); },
     "def0", nullptr},
    {"NoWriteNoFile", nullptr, [](IniFile& f) { return f.ReadString("A", "b", ""); }, "", nullptr},
    // ---- writing
    {"ReplaceInPlace", "[A]\r\nx=1\r\n; note\r\ny=2\r\nz=3\r\n",
     [](IniFile& f) { f.WriteString("a", "Y", " new value "); return f.ReadString("A", "y", ""); },
     "new value", "[A]\r\nx=1\r\n; note\r\nY=new value\r\nz=3\r\n"},
    {"AppendKeyAtEndOfItsSection", "; top\r\n[A]\r\nx=1\r\n\r\n[B]\r\nz=1\r\n",
     [](IniFile& f) { f.WriteInteger("a", "w", 5); return std::string(); }, "",
     "; top\r\n[A]\r\nx=1\r\nw=5\r\n\r\n[B]\r\nz=1\r\n"},
    {"AppendKeyToEmptySection", "[A]\r\n[B]\r\nz=1\r\n",
     [](IniFile& f) { f.WriteBool("A", "on", true); return std::string(); }, "",
     "[A]\r\non=1\r\n[B]\r\nz=1\r\n"},
    {"NewSectionAtEndKeepsEverything", "; c1\r\n[B]\r\nz=1\r\n# other text\r\n[A]\r\nx=1",
     [](IniFile& f) { f.WriteString("New", "k", "v"); f.WriteString("B", "z", "2"); return std::string(); },
     "", "; c1\r\n[B]\r\nz=2\r\n# other text\r\n[A]\r\nx=1\r\n[New]\r\nk=v\r\n"},
    {"LfFileStaysLf", kSampleLf,
     [](IniFile& f) { f.WriteString("Floats", "G", "1"); return std::string(); }, "",
     "[Main]\nKey1=value one\nEmpty=\n\n[Floats]\nF=2.5\nG=1\n"},
    {"NewFileIsCrLf", nullptr,
     [](IniFile& f) { f.WriteFloat("S", "f", -0.1); f.WriteInteger("S", "i", -7); return std::string(); },
     "", "[S]\r\nf=-0.1\r\ni=-7\r\n"},
    {"ValueNeverHoldsLineBreaks", nullptr,
     [](IniFile& f) { f.WriteString("S", "k", "one\r\ntwo\nthree\rfour"); return f.ReadString("S", "k", ""); },
     "one two three four", "[S]\r\nk=one two three four\r\n"},
    {"WrittenValueReadsBackAtOnce", "[S]\r\nk=old\r\n",
     [](IniFile& f) { f.WriteString("S", "K", ""); return f.ReadString("s", "k", "def") + "|"; }, "|",
     "[S]\r\nK=\r\n"},
    {"DeleteKeyAndEraseSection", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=1\r\n[b]\r\nq=1\r\n[C]\r\n",
     [](IniFile& f) { f.DeleteKey("A", "X"); f.EraseSection("B"); return Join(f.ReadSections()); },
     "A|C|", "[A]\r\ny=2\r\n[C]\r\n"},
    {"SameValueWritesNothing", "[A]\nx=1",
     [](IniFile& f) { f.WriteString("A", "x", "1"); return std::string(); }, "", nullptr},
    {"FloatsUseDotUnderGermanLocale", nullptr,
     [](IniFile& f) {
       f.WriteFloat("S", "f", 1234.5);
       return Str(static_cast<int>(f.ReadFloat("S", "f", 0) * 10));
     },
     "12345", "[S]\r\nf=1234.5\r\n"},
    // ---- write failures: the message names the full path; the old file stays intact
    {"FailsBelowMissingDirectory", nullptr,
     [](IniFile& f) { f.WriteString("S", "k", "v"); return std::string(); }, "", nullptr,
     Where::MissingDir, true},
    {"FailsBelowPlainFile", nullptr,
     [](IniFile& f) { f.WriteString("S", "k", "v"); return std::string(); }, "", nullptr,
     Where::DirIsFile, true},
    {"FailsWhenNameIsADirectory", nullptr,
     [](IniFile& f) { f.WriteString("S", "k", "v"); return std::string(); }, "", nullptr,
     Where::TargetIsDir, true},
    {"FailedWriteKeepsOldFile", "[A]\r\nx=1\r\n",
     [](IniFile& f) { f.WriteString("A", "long", std::string(100, 'v')); return std::string(); },
     "", nullptr, Where::FileSizeLimit, true},
};

void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }

class IniFileCases : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniFileCases, Behaves)
{
  const IniCase& c = GetParam();
  vt_test::TempDir dir;
  std::string path = dir.file("test.ini");
  switch (c.where) {
    case Where::Dir:
    case Where::FileSizeLimit:
      break;
    case Where::MissingDir:
      path = dir.file("missing/test.ini");
      break;
    case Where::DirIsFile:
      WriteWholeFile(dir.file("plain"), "x");
      path = dir.file("plain/test.ini");
      break;
    case Where::TargetIsDir:
      fs::create_directories(dir.path() / "test.ini" / "inside");
      break;
  }
  if (c.initial) WriteWholeFile(path, c.initial);

  const char* savedLocale = std::setlocale(LC_ALL, nullptr);
  std::string saved = savedLocale ? savedLocale : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // stays "C" where the locale is missing

  {
    IniFile f(path);
    EXPECT_EQ(f.FileName(), path);
    EXPECT_EQ(c.op(f), c.result);

    struct rlimit oldLimit {};
    if (c.where == Where::FileSizeLimit) {
      std::signal(SIGXFSZ, SIG_IGN);
      getrlimit(RLIMIT_FSIZE, &oldLimit);
      struct rlimit small = oldLimit;
      small.rlim_cur = 16;
      setrlimit(RLIMIT_FSIZE, &small);
    }
    std::string error;
    try {
      f.UpdateFile();
    } catch (const EIniFileError& e) {
      error = e.what();
    }
    if (c.where == Where::FileSizeLimit) setrlimit(RLIMIT_FSIZE, &oldLimit);
    EXPECT_EQ(error, c.writeFails ? "Unable to write to " + path : "");

    if (c.where == Where::TargetIsDir) {
      EXPECT_TRUE(fs::is_directory(path));
    } else if (c.expected) {
      EXPECT_EQ(ReadWholeFile(path), c.expected);
    } else if (c.initial) {
      EXPECT_EQ(ReadWholeFile(path), c.initial);
    } else {
      EXPECT_FALSE(fs::exists(path));
    }
    // No temporary file is left behind, whatever happened.
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    // The destructor tries a failed write again and must not throw.
  }
  std::setlocale(LC_ALL, saved.c_str());
}

INSTANTIATE_TEST_SUITE_P(Table, IniFileCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, RelativeNameBecomesFullPathInTheMessage)
{
  IniFile f("vartumo-no-such-dir-7f3a/SETTINGS.INI");
  ASSERT_EQ(f.FileName().front(), '/');
  f.WriteString("A", "b", "c");
  try {
    f.UpdateFile();
    FAIL() << "the write should fail";
  } catch (const EIniFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to write to " + (fs::current_path() / "vartumo-no-such-dir-7f3a/SETTINGS.INI").string());
  }
}

TEST(IniFile, DestructorWritesPendingChanges)
{
  vt_test::TempDir dir;
  {
    IniFile f(dir.file("a.ini"));
    f.WriteInteger("S", "n", 0x10);
  }
  EXPECT_EQ(IniFile(dir.file("a.ini")).ReadInteger("s", "N", 0), 16);
}

}  // namespace
