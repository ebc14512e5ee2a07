#pragma once
// Small helpers shared by the tests.
#include <filesystem>
#include <string>

namespace vt_test {

// A fresh, empty directory that is removed when the object goes out of scope.
// Each test gets its own, so tests can run in parallel.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
  std::filesystem::path m_path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& data);

// Directory of the committed test data (tests/).
// The test generator's settings for one sine wave: oscillator 0 at freqHz with amplitude ampl
// (1.0 = full scale), the other oscillators off; noise and routing are left as they are.
void SetSingleGeneratorTone(double freqHz, double ampl);

inline std::string TestDataDir() { return VT_TEST_DATA_DIR; }

}  // namespace vt_test
