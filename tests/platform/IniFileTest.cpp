// IniFile: the profile semantics as one table of cases. Each case starts from a file (or no
// file), runs one operation and checks what it returned and, for writes, the exact bytes of
// the file afterwards (or that the old file is untouched when the write fails).
#include "platform/IniFile.h"

#include "common/TestUtil.h"

#include <clocale>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Files that are no regular file of sane size are refused: they read as empty, say why, and
// are never replaced by a write (the user's file survives; a device is never written).
TEST(IniFile, FilesThatAreNoRegularFileOfSaneSizeAreRefused)
{
  vt_test::TempDir dir;
  const std::string head = "[A]\r\nx=1\r\n";
  auto Head = [](const std::string& path, size_t n) {
    std::string s(n, '\0');
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::string();
    s.resize(std::fread(s.data(), 1, n, f));
    std::fclose(f);
    return s;
  };
  auto sparse = [&](const std::string& path, long long size) {
    WriteWholeFile(path, head);
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
  };
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* error;  // after the full path; nullptr: read as usual
  } cases[] = {
      {"larger than the limit", [&](const std::string& p) { sparse(p, IniFile::kMaxFileSize + 1); },
       " is larger than 16 MB"},
      {"far larger", [&](const std::string& p) { sparse(p, 8LL << 30); }, " is larger than 16 MB"},
      {"exactly the limit", [&](const std::string& p) { sparse(p, IniFile::kMaxFileSize); }, nullptr},
      {"link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); },
       " is not a regular file"},
      {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       " is not a regular file"},
      {"directory", [](const std::string& p) { fs::create_directory(p); }, " is not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file("refused.ini");
    std::error_code ec;
    fs::remove_all(path, ec);
    c.make(path);
    const bool wasLink = fs::is_symlink(path);
    const auto sizeBefore = fs::is_regular_file(path) ? fs::file_size(path) : 0;
    IniFile f(path);
    if (!c.error) {
      EXPECT_FALSE(f.Refused());
      EXPECT_EQ(f.LoadError(), "");
      EXPECT_EQ(f.ReadInteger("A", "x", 0), 1);
      continue;
    }
    EXPECT_TRUE(f.Refused());
    EXPECT_EQ(f.LoadError(), path + c.error);
    EXPECT_EQ(f.ReadInteger("A", "x", 0), 0) << "nothing is read from a refused file";
    EXPECT_TRUE(f.ReadSections().empty());
    f.WriteString("A", "x", "2");
    EXPECT_EQ(f.ReadInteger("A", "x", 0), 2);  // kept in memory
    std::string error;
    try {
      f.UpdateFile();
    } catch (const EIniFileError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, "Unable to write to " + path);
    // Untouched: the same kind of file, the same size and the same first bytes.
    EXPECT_EQ(fs::is_symlink(path), wasLink);
    if (wasLink) {
      EXPECT_EQ(fs::read_symlink(path), "/dev/zero");
    }
    if (sizeBefore > 0) {
      EXPECT_EQ(fs::file_size(path), sizeBefore);
      EXPECT_EQ(Head(path, head.size()), head);
    }
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}

// A key or section name read with a carriage return in front of it (a lone CR is no line end)
// is found again by the writer: the write replaces that line instead of appending a second
// copy, and the written file reads back with the same sections and keys.
TEST(IniFile, NamesReadWithACarriageReturnAreFoundByTheWriter)
{
  const struct {
    const char* what;
    const char* initial;
    const char* section;  // as ReadSections gives it
    const char* key;      // as ReadSection gives it
    const char* expected;
  } cases[] = {
      {"key with CR", "[S]\r\n\rKey=1\r\n", "S", "\rKey", "[S]\r\nKey=2\r\n"},
      {"key that would read as a header", "[S]\r\n\r[X]=1\r\ny=1\r\n", "S", "\r[X]",
       "[S]\r\n\r[X]=2\r\ny=1\r\n"},
      {"key that would read as a comment", "[S]\r\n\r;c=1\r\n", "S", "\r;c", "[S]\r\n\r;c=2\r\n"},
      {"key of CRs only", "[S]\r\n\r\r=1\r\n", "S", "\r\r", "[S]\r\n=2\r\n"},
      {"section with CR", "[\rS]\r\nk=1\r\n", "\rS", "k", "[\rS]\r\nk=2\r\n"},
      {"LF file", "[S]\n\r[X]=1\n", "S", "\r[X]", "[S]\n\r[X]=2\n"},
  };
  vt_test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file("cr.ini");
    WriteWholeFile(path, c.initial);
    {
      IniFile f(path);
      ASSERT_EQ(Join(f.ReadSections()), std::string(c.section) + "|");
      const auto keys = f.ReadSection(c.section);
      ASSERT_FALSE(keys.empty());
      ASSERT_EQ(keys.front(), c.key);
      EXPECT_EQ(f.ReadString(c.section, c.key, "none"), "1");
      f.WriteString(c.section, c.key, "2");
      EXPECT_EQ(f.ReadString(c.section, c.key, "none"), "2");
      f.UpdateFile();
    }
    EXPECT_EQ(ReadWholeFile(path), c.expected);
    IniFile again(path);
    EXPECT_EQ(Join(again.ReadSections()), std::string(c.section) + "|");
    EXPECT_EQ(again.ReadString(c.section, c.key, "none"), "2");
  }
}

// A new name whose line would read back as something else is not written: the line would
// add a section or hide the keys after it.
TEST(IniFile, NewNamesThatWouldNotReadBackAreNotWritten)
{
  vt_test::TempDir dir;
  const std::string path = dir.file("new.ini");
  WriteWholeFile(path, "[S]\r\nk=1\r\n");
  {
    IniFile f(path);
    f.WriteString("S", "[X]", "1");
    f.WriteString("S", ";c", "1");
    f.WriteString("S", "a=b", "1");
    f.WriteString("T]U", "k", "1");
    f.WriteString("S", "\r\nok", "1");  // one line: a blank, trimmed
    f.WriteString("S", "a\r\nb", "1");  // "a b"
    EXPECT_EQ(f.ReadString("S", "a\r\nb", ""), "1");
    f.UpdateFile();
  }
  EXPECT_EQ(ReadWholeFile(path), "[S]\r\nk=1\r\nok=1\r\na b=1\r\n");
  EXPECT_EQ(IniFile(path).ReadString("S", "a\r\nb", ""), "1");
}

// A write goes through a symbolic link to the end of its chain, also when that file does not
// exist yet (a dangling link, as a user may leave one in place of a settings file to keep it
// elsewhere): the link stays a link and the file appears where it points. A chain that loops
// is not written at all and stays as it was.
TEST(IniFile, WritesThroughSymbolicLinksEvenWhenTheTargetIsMissing)
{
  const struct {
    const char* what;
    std::vector<std::pair<const char*, const char*>> links;  // link name -> where it points
    const char* target;  // the file written, under the test's directory; nullptr: no write
    bool exists = false; // the target is there before the write
  } cases[] = {
      {"dangling, absolute", {{"s.ini", "@/real/s.ini"}}, "real/s.ini"},
      {"dangling, relative", {{"s.ini", "real/s.ini"}}, "real/s.ini"},
      {"dangling, relative to the link's own directory",
       {{"s.ini", "links/a.ini"}, {"links/a.ini", "../real/s.ini"}}, "real/s.ini"},
      {"chain of links", {{"s.ini", "b.ini"}, {"b.ini", "@/real/c.ini"}}, "real/c.ini"},
      {"link to an existing file", {{"s.ini", "real/e.ini"}}, "real/e.ini", true},
      {"loop", {{"s.ini", "b.ini"}, {"b.ini", "s.ini"}}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vt_test::TempDir dir;
    fs::create_directories(dir.file("real"));
    fs::create_directories(dir.file("links"));
    if (c.exists) WriteWholeFile(dir.file(c.target), "[A]\r\nx=1\r\n");
    for (const auto& [name, to] : c.links) {
      const std::string where = to[0] == '@' ? dir.file(to + 2) : std::string(to);
      fs::create_symlink(where, dir.file(name));
    }
    const std::string path = dir.file("s.ini");
    std::string error;
    try {
      IniFile f(path);
      f.WriteInteger("A", "x", 2);
      f.UpdateFile();
    } catch (const EIniFileError& e) {
      error = e.what();
    }
    // Every link is still the link it was.
    for (const auto& [name, to] : c.links) {
      ASSERT_TRUE(fs::is_symlink(dir.file(name))) << name;
      EXPECT_EQ(fs::read_symlink(dir.file(name)).string(),
                to[0] == '@' ? dir.file(to + 2) : std::string(to));
    }
    if (!c.target) {
      EXPECT_EQ(error, "Unable to write to " + path);
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(ReadWholeFile(dir.file(c.target)), "[A]\r\nx=2\r\n");
      EXPECT_EQ(IniFile(path).ReadInteger("A", "x", 0), 2);
    }
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
  }
}

}  // namespace
