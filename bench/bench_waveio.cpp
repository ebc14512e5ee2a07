// Throughput of the wave-file object on a 10-minute stereo 16-bit file, next to sox copying
// the same file ("sox in.wav out.wav"). Best of several runs each (the file stays in the page
// cache, so this measures the object's own cost, not the disk's).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/C_WaveIO.h"

extern char** environ;

namespace {

constexpr int RATE = 44100, SECONDS = 600, BLOCK = 4096;  // frames per call, as the audio thread
constexpr int64_t FRAMES = int64_t(RATE) * SECONDS;
constexpr int RUNS = 5;

double Best(const std::function<bool()>& run) {
  double best = 1e30;
  for (int i = 0; i < RUNS; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    if (!run()) return -1;
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

void Report(const char* what, double seconds, double bytes) {
  if (seconds < 0) {
    std::printf("%-44s  failed\n", what);
    return;
  }
  std::printf("%-44s %8.3f s %9.1f MB/s %8.0fx real time\n", what, seconds, bytes / seconds / 1e6,
              SECONDS / seconds);
}

bool WriteFile(const std::string& path, const std::vector<int16_t>& block) {
  C_WaveIO w;
  if (!w.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 2, RATE)) return false;
  for (int64_t done = 0; done < FRAMES; done += BLOCK) {
    const int frames = int(std::min<int64_t>(BLOCK, FRAMES - done));
    if (w.WriteSamples(block.data(), frames * 4) != frames) return false;
  }
  return w.CloseFile() == 1;
}

bool ReadRaw(const std::string& path) {
  C_WaveIO r;
  if (!r.InOpen(path.c_str())) return false;
  std::vector<char> buf(BLOCK * 4);
  int64_t frames = 0;
  int n;
  while ((n = r.ReadRawBlocks(buf.data(), int(buf.size()))) > 0) frames += n;
  r.CloseFile();
  return frames == FRAMES;
}

bool ReadDoubles(const std::string& path) {
  C_WaveIO r;
  if (!r.InOpen(path.c_str())) return false;
  std::vector<double> buf(BLOCK);
  int64_t frames = 0;
  int n;
  while ((n = r.ReadSampleBlocks(0, BLOCK, buf.data())) > 0) frames += n;
  r.CloseFile();
  return frames == FRAMES;
}

bool Copy(const std::string& in, const std::string& out) {
  C_WaveIO r, w;
  if (!r.InOpen(in.c_str())) return false;
  if (!w.OutOpen(out.c_str(), C_WaveIO::FORMAT_RIFF, r.GetBitsPerSample(), r.GetNrChannels(), r.GetSampleRate()))
    return false;
  std::vector<char> buf(BLOCK * 4);
  int n;
  while ((n = r.ReadRawBlocks(buf.data(), int(buf.size()))) > 0)
    if (w.WriteSamples(buf.data(), n * 4) != n) return false;
  r.CloseFile();
  return w.CloseFile() == 1;
}

bool SoxCopy(const std::string& in, const std::string& out) {
  std::vector<std::string> args = {"sox", in, out};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, "sox", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
  char templ[] = "/tmp/bench_waveio-XXXXXX";
  if (!mkdtemp(templ)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = templ;
  const std::string in = dir + "/in.wav", out = dir + "/out.wav", soxOut = dir + "/sox.wav";
  std::vector<int16_t> block(BLOCK * 2);
  for (int i = 0; i < BLOCK; ++i) {
    block[2 * i] = int16_t(12000 * std::sin(2 * M_PI * 440.0 * i / RATE));
    block[2 * i + 1] = int16_t(9000 * std::sin(2 * M_PI * 660.0 * i / RATE));
  }
  const double bytes = double(FRAMES) * 4;
  std::printf("10-minute stereo 16-bit file at %d Hz: %.1f MB; blocks of %d frames; best of %d\n",
              RATE, bytes / 1e6, BLOCK, RUNS);
  Report("C_WaveIO write (WriteSamples)", Best([&] { return WriteFile(in, block); }), bytes);
  Report("C_WaveIO read (ReadRawBlocks)", Best([&] { return ReadRaw(in); }), bytes);
  Report("C_WaveIO read one channel as doubles", Best([&] { return ReadDoubles(in); }), bytes);
  const double ours = Best([&] { return Copy(in, out); });
  const double sox = Best([&] { return SoxCopy(in, soxOut); });
  Report("C_WaveIO copy (read + write)", ours, bytes);
  Report("sox in.wav out.wav", sox, bytes);
  if (ours > 0 && sox > 0) std::printf("copy: C_WaveIO is %.2fx the speed of sox\n", sox / ours);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
