#include "common/TestUtil.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/SndConfig.h"

namespace vt_test {

TempDir::TempDir()
{
  std::string templ = (std::filesystem::temp_directory_path() / "vartumo-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  m_path = templ;
}

TempDir::~TempDir()
{
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::string ReadWholeFile(const std::string& path)
{
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteWholeFile(const std::string& path, const std::string& data)
{
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void SetSingleGeneratorTone(double freqHz, double ampl)
{
  for (auto& s : SndConfig.Sine) s.Enabled = false;
  SndConfig.Sine[0].Enabled = true;
  SndConfig.Sine[0].SinFreq = freqHz;
  SndConfig.Sine[0].SinAmpl = ampl;
  SndConfig.Sine[0].ParamsChanged = true;
}

}  // namespace vt_test
