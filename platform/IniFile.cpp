// INI file with Windows profile semantics, kept in memory as its lines and written back as a
// whole file (temporary file in the same directory, then rename).
#include "platform/IniFile.h"

#include "platform/BoundedFile.h"
#include "platform/NumText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstddef>
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
std::string OneLine(std::string_view s)
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


// The one form in which section and key names are compared, for names read from the file and
// names handed to the reads and writes alike: the name as a write puts it on its line
// (OneLine: CR and LF become blanks, blanks around are dropped), ASCII letters folded to
// lower case.
std::string NameKey(std::string_view s)
{
  std::string r = OneLine(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

// True when the line reads back as a key line of that name (folded by NameKey).
bool ReadsBackAsKey(const std::string& line, const std::string& name)
{
  std::string_view header, k, v;
  return !ParseHeader(line, header) && ParseKey(line, k, v) && NameKey(k) == name;
}

// The file a write of path goes to: path itself, or when it is a symbolic link the end of its
// chain of links, whether that exists or not (a dangling link is written through, never
// replaced by a file). A relative link is taken from the link's own directory. False for a
// chain that loops or is longer than the system follows, or a link that cannot be read.
bool WriteTarget(const std::string& path, std::string& target)
{
  namespace fs = std::filesystem;
  constexpr int kMaxLinks = 40;  // as many as the system itself follows
  fs::path p = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    std::error_code ec;
    if (!fs::is_symlink(p, ec)) {
      target = p.lexically_normal().string();
      return true;
    }
    const fs::path next = fs::read_symlink(p, ec);
    if (ec) return false;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return false;
}

}  // namespace

void IniFile::Section::Reindex()
{
  keyIndex.clear();
  std::string_view k, v;
  for (size_t i = 0; i < lines.size(); ++i)
    if (ParseKey(lines[i], k, v)) keyIndex.try_emplace(NameKey(k), i);
}

void IniFile::AddLine(std::string line)
{
  std::string_view name;
  if (ParseHeader(line, name)) {
    Section sec;
    sec.key = NameKey(name);
    sec.header = std::move(line);
    m_sections.push_back(std::move(sec));
    return;
  }
  Section& sec = m_sections.back();
  std::string_view k, v;
  if (ParseKey(line, k, v)) sec.keyIndex.try_emplace(NameKey(k), sec.lines.size());
  sec.lines.push_back(std::move(line));
}

void IniFile::ReindexSections()
{
  m_sectionIndex.clear();
  for (size_t i = 1; i < m_sections.size(); ++i) m_sectionIndex.try_emplace(m_sections[i].key, i);
}

IniFile::IniFile(const std::string& fileName) : m_fileName(ResolveFullPath(fileName))
{
  m_sections.emplace_back();  // the lines before the first header
  std::string data;
  if (!ReadWholeFile(data)) return;
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
      if (end > start && data[end - 1] == '\r') sawCrLf = true;
      else sawLf = true;
    }
    // Carriage returns at the end of a line belong to its line end (a stray "\r\r\n" too):
    // a value never ends in one, so what is read is what a write gives back.
    while (lineEnd > start && data[lineEnd - 1] == '\r') --lineEnd;
    AddLine(data.substr(start, lineEnd - start));
    start = (nl == std::string::npos) ? data.size() : nl + 1;
  }
  m_crlf = sawCrLf || !sawLf;
  ReindexSections();
}

bool IniFile::ReadWholeFile(std::string& data)
{
  // A missing or unreadable file reads as empty; a refused one says why.
  std::string why;
  switch (ReadBoundedFile(m_fileName, data, &why, kMaxFileSize)) {
    case BoundedReadResult::Read: return true;
    case BoundedReadResult::Refused: m_loadError = why; break;
    case BoundedReadResult::Unreadable: break;
  }
  data.clear();
  return false;
}

IniFile::~IniFile()
{
  try {
    UpdateFile();
  } catch (...) {
    // A destructor must not throw; callers that care call UpdateFile() themselves.
  }
}

const IniFile::Section* IniFile::FindSection(const std::string& section) const
{
  auto it = m_sectionIndex.find(NameKey(section));
  return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

IniFile::Section* IniFile::FindSection(const std::string& section)
{
  auto it = m_sectionIndex.find(NameKey(section));
  return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const std::string* IniFile::FindKeyLine(const std::string& section, const std::string& key) const
{
  const Section* sec = FindSection(section);
  if (!sec) return nullptr;
  auto it = sec->keyIndex.find(NameKey(key));
  return it == sec->keyIndex.end() ? nullptr : &sec->lines[it->second];
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
  const std::string* line = FindKeyLine(section, key);
  if (!line) return def;
  std::string_view k, v;
  ParseKey(*line, k, v);
  return std::string(v);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
  const std::string* line = FindKeyLine(section, key);
  if (!line) return def;
  std::string_view k, v;
  ParseKey(*line, k, v);
  return StrToIntDef(std::string(v), def);
}

double IniFile::ReadFloat(const std::string& section, const std::string& key, double def) const
{
  const std::string* line = FindKeyLine(section, key);
  if (!line) return def;
  std::string_view k, v;
  ParseKey(*line, k, v);
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
  const std::string name = NameKey(key);
  std::string newLine = k + "=" + OneLine(value);
  Section* s = FindSection(sec);
  if (!s) {
    // A name that would not read back as itself (a "]" in the section name, a key that would
    // read as a header, a comment or another key) is not written: the line would corrupt the
    // file's structure.
    Section added;
    added.header = "[" + sec + "]";
    added.key = NameKey(sec);
    std::string_view readBack;
    if (!ParseHeader(added.header, readBack) || NameKey(readBack) != added.key ||
        !ReadsBackAsKey(newLine, name))
      return;
    added.lines.push_back(newLine);
    added.keyIndex.emplace(name, 0);
    m_sections.push_back(std::move(added));
    m_sectionIndex.try_emplace(m_sections.back().key, m_sections.size() - 1);
    m_dirty = true;
    return;
  }
  auto it = s->keyIndex.find(name);
  if (it != s->keyIndex.end()) {
    std::string& old = s->lines[it->second];
    if (!ReadsBackAsKey(newLine, name)) {
      // The caller's spelling would not read back as this key (a key read with a leading
      // CR, "\r[x]", written as "[x]" would read as a section header): keep the line's own.
      std::string_view oldKey, oldValue;
      ParseKey(old, oldKey, oldValue);
      newLine = std::string(oldKey) + "=" + OneLine(value);
    }
    if (old != newLine) {
      old = newLine;
      m_dirty = true;
    }
    return;
  }
  // After the last non-blank line of the section, so blank lines that separate it from the
  // next section stay where they are. Only blank lines follow that place, so no key's index
  // moves.
  if (!ReadsBackAsKey(newLine, name)) return;
  size_t pos = s->lines.size();
  while (pos > 0 && Trim(s->lines[pos - 1]).empty()) --pos;
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(pos), newLine);
  s->keyIndex.emplace(name, pos);
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

bool IniFile::SectionExists(const std::string& section) const { return FindSection(section); }

bool IniFile::ValueExists(const std::string& section, const std::string& key) const
{
  return FindKeyLine(section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSections() const
{
  std::vector<std::string> out;
  std::string_view name;
  for (size_t i = 1; i < m_sections.size(); ++i) {
    // The first section of each name gives its spelling.
    if (m_sectionIndex.at(m_sections[i].key) != i) continue;
    ParseHeader(m_sections[i].header, name);
    out.emplace_back(name);
  }
  return out;
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const
{
  std::vector<std::string> out;
  const Section* s = FindSection(section);
  if (!s) return out;
  std::string_view k, v;
  for (size_t i = 0; i < s->lines.size(); ++i) {
    if (!ParseKey(s->lines[i], k, v)) continue;
    if (s->keyIndex.at(NameKey(k)) == i) out.emplace_back(k);  // first of each name
  }
  return out;
}

void IniFile::EraseSection(const std::string& section)
{
  // Every section of that name goes, so that nothing of it can be read afterwards.
  const std::string key = NameKey(section);
  const size_t before = m_sections.size();
  for (size_t i = m_sections.size(); i-- > 1;)
    if (m_sections[i].key == key) m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(i));
  if (m_sections.size() != before) {
    ReindexSections();
    m_dirty = true;
  }
}

void IniFile::DeleteKey(const std::string& section, const std::string& key)
{
  Section* s = FindSection(section);
  if (!s) return;
  const std::string want = NameKey(key);
  std::string_view k, v;
  const size_t before = s->lines.size();
  for (size_t i = s->lines.size(); i-- > 0;)
    if (ParseKey(s->lines[i], k, v) && NameKey(k) == want)
      s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(i));
  if (s->lines.size() != before) {
    s->Reindex();
    m_dirty = true;
  }
}

void IniFile::UpdateFile()
{
  if (!m_dirty) return;
  const std::string failure = "Unable to write to " + m_fileName;
  // A file refused on reading is never replaced: its contents were not read, so writing
  // would lose them (and a device in its place must not be written at all).
  if (Refused()) throw EIniFileError(failure);

  // Write through a symbolic link to its target rather than replacing the link, also when
  // the target does not exist yet.
  std::string target;
  if (!WriteTarget(m_fileName, target)) throw EIniFileError(failure);

  // A file the user made read-only stays as it is.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0)
    throw EIniFileError(failure);

  std::string data;
  if (m_bom) data = "\xEF\xBB\xBF";
  const char* eol = m_crlf ? "\r\n" : "\n";
  for (size_t i = 0; i < m_sections.size(); ++i) {
    if (i > 0) {
      data += m_sections[i].header;
      data += eol;
    }
    for (const std::string& line : m_sections[i].lines) {
      data += line;
      data += eol;
    }
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
