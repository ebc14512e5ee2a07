#pragma once
// INI file with Windows profile semantics.
//
// - A missing or unreadable file reads as empty.
// - A file that is not a regular file (a device, a FIFO, a directory) or is larger than
//   kMaxFileSize is refused: it reads as empty, LoadError() says why, and UpdateFile() never
//   replaces it (it throws EIniFileError as for any failed write), so its contents survive.
// - Section and key names match without regard to case; the first match wins. Reads, writes
//   and the index of the names read all compare them in one form (CR and LF as blanks, blanks
//   around dropped, ASCII case folded), so a write finds every key a read finds. A replaced
//   key keeps its line's own spelling when the caller's would read back as something else; a
//   new name whose line would not read back as that name (a key "[x]", ";x" or "a=b", a
//   section "a]b") is not written.
// - A present but empty key reads ""; a missing key gives the default.
// - Integers in decimal or hex ("0x1F", "$1F"), whole text only, within int32, else the default.
//   Booleans are integers (0 false, anything else true).
// - Floats are written and read with "." whatever the user's locale.
// - Writing replaces a key in place, appends a new key at the end of its section and a new
//   section at the end of the file, and keeps every other line, comment and the section order.
// - CR LF and LF both read; blanks around keys and values are trimmed; a value written never
//   contains CR or LF.
//
// Lines are written with CR LF, the Windows convention of these files, unless the file
// read used LF only: then LF is kept. A UTF-8 byte order mark is kept. Values are stored as
// written (surrounding quotes are not stripped on reading).
//
// Writes are kept in memory and go to disk in UpdateFile() as a whole file, atomically
// (temporary file in the same directory, then rename). UpdateFile() throws EIniFileError
// with the text "Unable to write to <full path>" on failure. The destructor writes pending
// changes too but never throws: callers that must know about a failure call UpdateFile().
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/BoundedFile.h"

class EIniFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class IniFile {
public:
  explicit IniFile(const std::string& fileName);
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  // Largest file read (bytes); every settings file of the program is a few kB.
  static constexpr long long kMaxFileSize = kMaxReadFileSize;

  // The full path of the file.
  const std::string& FileName() const { return m_fileName; }
  // Why the file was refused ("<full path> is not a regular file", "<full path> is larger
  // than 16 MB"); empty when it was read (or is missing or unreadable).
  const std::string& LoadError() const { return m_loadError; }
  bool Refused() const { return !m_loadError.empty(); }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  int ReadInteger(const std::string& section, const std::string& key, int def) const;
  double ReadFloat(const std::string& section, const std::string& key, double def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  // Written with FloatToStr (15 significant digits, ".").
  void WriteFloat(const std::string& section, const std::string& key, double value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::vector<std::string> ReadSections() const;                       // in file order
  std::vector<std::string> ReadSection(const std::string& section) const;  // key names
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& key);

  // Writes pending changes to disk now (no-op when nothing changed).
  // Throws EIniFileError("Unable to write to <path>") on failure.
  void UpdateFile();

private:
  // The file as its sections in file order. Section 0 holds the lines before the first header
  // (it has no header of its own); every other section starts with its header line. Lines are
  // kept as read (without line ends), so comments, blanks and order survive a write.
  struct Section {
    std::string header;                                  // "[name]" line as read; "" for 0
    std::string key;                                     // folded name ("" for section 0)
    std::vector<std::string> lines;                      // lines after the header
    std::unordered_map<std::string, size_t> keyIndex;    // folded key -> first line with it
    void Reindex();
  };

  std::string m_fileName;
  std::string m_loadError;  // set when the file was refused (see LoadError)
  std::vector<Section> m_sections;
  // Folded section name -> index of the first section of that name. Lookups are constant
  // time, so loading a settings file of n keys takes time linear in n.
  std::unordered_map<std::string, size_t> m_sectionIndex;
  bool m_dirty = false;
  bool m_crlf = true;   // line end to write: the file's own (LF only if it had no CR LF)
  bool m_bom = false;   // the file started with a UTF-8 byte order mark (kept on write)

  // Reads the whole file into data; false when there is nothing to parse (missing,
  // unreadable or refused; m_loadError is set for a refused file).
  bool ReadWholeFile(std::string& data);
  void AddLine(std::string line);
  void ReindexSections();
  const Section* FindSection(const std::string& section) const;
  Section* FindSection(const std::string& section);
  // The line of the key in the section, or nullptr.
  const std::string* FindKeyLine(const std::string& section, const std::string& key) const;
};
