// INI lookup speed: files of 1,000 and 10,000 keys (100 sections) are loaded and every key is
// read once. Prints one line per size and the ratio of the times, which stays near 10 when
// loading and looking up is linear in the file's size:
//   inifile <n> keys: load+read <ms> ms
//   inifile 10000/1000 keys: time ratio <r>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/IniFile.h"

namespace {

double LoadAndRead(const std::string& path, int keys, int sections)
{
  const auto t0 = std::chrono::steady_clock::now();
  long sum = 0;
  for (int rep = 0; rep < 5; ++rep) {
    IniFile ini(path);
    for (int k = 0; k < keys; ++k)
      sum += ini.ReadInteger("Section" + std::to_string(k % sections), "Key" + std::to_string(k), 0);
  }
  const auto t1 = std::chrono::steady_clock::now();
  if (sum == 42) std::printf(" ");
  return std::chrono::duration<double, std::milli>(t1 - t0).count() / 5.0;
}

}  // namespace

int main()
{
  const std::string dir = std::filesystem::temp_directory_path() / "vartumo-bench-ini";
  std::filesystem::create_directories(dir);
  double ms[2] = {};
  const int sizes[2] = {1000, 10000};
  for (int i = 0; i < 2; ++i) {
    const int keys = sizes[i], sections = 100;
    const std::string path = dir + "/keys" + std::to_string(keys) + ".ini";
    {
      std::ofstream f(path);
      for (int s = 0; s < sections; ++s) {
        f << "[Section" << s << "]\r\n";
        for (int k = s; k < keys; k += sections) f << "Key" << k << "=" << k << "\r\n";
      }
    }
    ms[i] = LoadAndRead(path, keys, sections);
    std::printf("inifile %d keys: load+read %.2f ms\n", keys, ms[i]);
  }
  std::printf("inifile 10000/1000 keys: time ratio %.1f\n", ms[1] / ms[0]);
  std::filesystem::remove_all(dir);
  return 0;
}
