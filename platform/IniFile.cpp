// INI file with Windows profile semantics, kept in memory as its lines and written back as a
// whole file (temporary file in the same directory, then rename).
#include "platform/IniFile.h"

#include "platform/NumText.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string_view Trim(std::string_view s)
{
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Section name of a header line "[name]", or false when the line is no header.
bool ParseHeader(const std::string& line, std::string_view& name)
{
  std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return false;
  t.remove_prefix(1);
  size_t close = t.find(']');
  if (close != std::string_view::npos) t = t.substr(0, close);
  name = Trim(t);
  return true;
}

// Key and value of a line "key = value"; comments (";") and lines without "=" are no keys.
bool ParseKey(const std::string& line, std::string_view& key, std::string_view& value)
{
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  return true;
}

// Names and values are single lines: CR and LF become blanks, blanks around are dropped.
std::string OneLine(const std::string& s)
{
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;  // CR LF: one blank
    r.push_back((s[i] == '\r' || s[i] == '\n') ? ' ' : s[i]);
  }
  return std::string(Trim(r));
}

std::string ResolveFullPath(const std::string& fileName)
{
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(fileName, ec);
  if (ec) return fileName;
  return p.lexically_normal().string();
}

}  // namespace

IniFile::IniFile(const std::string& fileName) : m_fileName(ResolveFullPath(fileName))
{
  std::ifstream f(m_fileName, std::ios::binary);
  if (!f) return;
  std::ostringstream ss;
  ss << f.rdbuf();
  std::string data = ss.str();
  if (f.bad()) return;
  if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    m_bom = true;
    data.erase(0, 3);
  }
  bool sawCrLf = false, sawLf = false;
  size_t start = 0;
  while (start < data.size()) {
    size_t nl = data.find('\n', start);
    size_t end = (nl == std::string::npos) ? data.size() : nl;
    size_t lineEnd = end;
    if (nl != std::string::npos) {
      if (end > start && data[end - 1] == '\r') {
        --lineEnd;
        sawCrLf = true;
      } else {
        sawLf = true;
      }
    } else if (lineEnd > start && data[lineEnd - 1] == '\r') {
      --lineEnd;
    }
    m_lines.emplace_back(data, start, lineEnd - start);
    start = (nl == std::string::npos) ? data.size() : nl + 1;
  }
  m_crlf = sawCrLf || !sawLf;
}

IniFile::~IniFile()
{
  try {
    UpdateFile();
  } catch (...) {
    // A destructor must not throw; callers that care call UpdateFile() themselves.
  }
}

int IniFile::FindSection(const std::string& section) const
{
  std::string_view want = Trim(section);
  std::string_view name;
  for (size_t i = 0; i < m_lines.size(); ++i)
    if (ParseHeader(m_lines[i], name) && EqualNoCase(name, want)) return static_cast<int>(i);
  return -1;
}

int IniFile::SectionEnd(int sectionLine) const
{
  std::string_view name;
  size_t i = static_cast<size_t>(sectionLine) + 1;
  while (i < m_lines.size() && !ParseHeader(m_lines[i], name)) ++i;
  return static_cast<int>(i);
}

int IniFile::FindKey(int sectionLine, const std::string& key) const
{
  if (sectionLine < 0) return -1;
  std::string_view want = Trim(key);
  std::string_view k, v;
  int end = SectionEnd(sectionLine);
  for (int i = sectionLine + 1; i < end; ++i)
    if (ParseKey(m_lines[static_cast<size_t>(i)], k, v) && EqualNoCase(k, want)) return i;
  return -1;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
  int line = FindKey(FindSection(section), key);
  if (line < 0) return def;
  std::string_view k, v;
  ParseKey(m_lines[static_cast<size_t>(line)], k, v);
  return std::string(v);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
  int line = FindKey(FindSection(section), key);
  if (line < 0) return def;
  std::string_view k, v;
  ParseKey(m_lines[static_cast<size_t>(line)], k, v);
  return StrToIntDef(std::string(v), def);
}

double IniFile::ReadFloat(const std::string& section, const std::string& key, double def) const
{
  int line = FindKey(FindSection(section), key);
  if (line < 0) return def;
  std::string_view k, v;
  ParseKey(m_lines[static_cast<size_t>(line)], k, v);
  return StrToFloatDef(std::string(v), def);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value)
{
  const std::string sec = OneLine(section);
  const std::string k = OneLine(key);
  const std::string newLine = k + "=" + OneLine(value);
  int s = FindSection(sec);
  if (s < 0) {
    m_lines.push_back("[" + sec + "]");
    m_lines.push_back(newLine);
    m_dirty = true;
    return;
  }
  int line = FindKey(s, k);
  if (line >= 0) {
    std::string& old = m_lines[static_cast<size_t>(line)];
    if (old != newLine) {
      old = newLine;
      m_dirty = true;
    }
    return;
  }
  // After the last non-blank line of the section, so blank lines that separate it from the
  // next section stay where they are.
  int pos = SectionEnd(s);
  while (pos - 1 > s && Trim(m_lines[static_cast<size_t>(pos - 1)]).empty()) --pos;
  m_lines.insert(m_lines.begin() + pos, newLine);
  m_dirty = true;
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
  WriteString(section, key, IntToStr(value));
}

void IniFile::WriteFloat(const std::string& section, const std::string& key, double value)
{
  WriteString(section, key, FloatToStr(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::SectionExists(const std::string& section) const { return FindSection(section) >= 0; }

bool IniFile::ValueExists(const std::string& section, const std::string& key) const
{
  return FindKey(FindSection(section), key) >= 0;
}

std::vector<std::string> IniFile::ReadSections() const
{
  std::vector<std::string> out;
  std::string_view name;
  for (const std::string& line : m_lines) {
    if (!ParseHeader(line, name)) continue;
    bool dup = false;
    for (const std::string& o : out) dup = dup || EqualNoCase(o, name);
    if (!dup) out.emplace_back(name);
  }
  return out;
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const
{
  std::vector<std::string> out;
  int s = FindSection(section);
  if (s < 0) return out;
  std::string_view k, v;
  int end = SectionEnd(s);
  for (int i = s + 1; i < end; ++i) {
    if (!ParseKey(m_lines[static_cast<size_t>(i)], k, v)) continue;
    bool dup = false;
    for (const std::string& o : out) dup = dup || EqualNoCase(o, k);
    if (!dup) out.emplace_back(k);
  }
  return out;
}

void IniFile::EraseSection(const std::string& section)
{
  // Every section of that name goes, so that nothing of it can be read afterwards.
  for (int s = FindSection(section); s >= 0; s = FindSection(section)) {
    m_lines.erase(m_lines.begin() + s, m_lines.begin() + SectionEnd(s));
    m_dirty = true;
  }
}

void IniFile::DeleteKey(const std::string& section, const std::string& key)
{
  int s = FindSection(section);
  for (int line = FindKey(s, key); line >= 0; line = FindKey(s, key)) {
    m_lines.erase(m_lines.begin() + line);
    m_dirty = true;
  }
}

void IniFile::UpdateFile()
{
  if (!m_dirty) return;
  const std::string failure = "Unable to write to " + m_fileName;

  // Write through a symbolic link to its target rather than replacing the link.
  std::string target = m_fileName;
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    std::filesystem::path t = std::filesystem::weakly_canonical(target, ec);
    if (ec) throw EIniFileError(failure);
    target = t.string();
  }

  // A file the user made read-only stays as it is.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0)
    throw EIniFileError(failure);

  std::string data;
  if (m_bom) data = "\xEF\xBB\xBF";
  const char* eol = m_crlf ? "\r\n" : "\n";
  for (const std::string& line : m_lines) {
    data += line;
    data += eol;
  }

  static std::atomic<unsigned> counter{0};
  const std::string temp = target + ".~" + std::to_string(getpid()) + "." +
                           std::to_string(counter.fetch_add(1)) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw EIniFileError(failure);
  bool ok = true;
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
  size_t done = 0;
  while (ok && done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    throw EIniFileError(failure);
  }
  m_dirty = false;
}
