#pragma once
// A wave-audio back end for tests: one input and one output device (number 0; number 1 plays
// the loop-back device for the default-device fallback) that complete their queued buffers
// only on command, from the test's own thread (or another thread the test starts), and log
// every operation.
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WaveBackend.h"

class CFakeWaveBackend : public CWaveBackend {
public:
  class Device : public CWaveDevice {
  public:
    Device(CFakeWaveBackend* b, WaveDeviceHandle* owner) : m_b(b), m_owner(owner) {}
    int Start() override {
      Op(m_owner->input ? "start" : "restart", [&] { running = true; });
      if (!m_owner->input) m_b->AutoPlay();
      return 0;
    }
    int Stop() override { return Op(m_owner->input ? "stop" : "pause", [&] { running = false; }); }
    int AddBuffer(WAVEHDR* hdr) override {
      int rc = Op(std::string(m_owner->input ? "add " : "write ") + std::to_string(hdr->dwBufferLength),
                  [&] { queue.push_back(hdr); });
      if (!m_owner->input) m_b->AutoPlay();
      return rc;
    }
    int Reset() override {
      Op("reset", [] {});
      if (m_b->onReset) m_b->onReset(m_owner->input);
      if (!m_owner->input) {
        std::vector<WAVEHDR*> q;
        {
          std::lock_guard<std::mutex> lock(m_b->mutex);
          q.assign(queue.begin(), queue.end());
          queue.clear();
        }
        for (WAVEHDR* h : q) m_owner->Complete(h);
      } else {
        std::vector<WAVEHDR*> q;
        {
          std::lock_guard<std::mutex> lock(m_b->mutex);
          q.assign(queue.begin(), queue.end());
          queue.clear();
          running = false;
        }
        for (WAVEHDR* h : q) {
          h->dwBytesRecorded = 0;
          m_owner->Complete(h);
        }
      }
      return 0;
    }
    int Close() override {
      {
        std::lock_guard<std::mutex> lock(m_b->mutex);
        if (!queue.empty()) return WAVERR_STILLPLAYING;
      }
      Op("close", [&] {
        Device*& open = m_owner->input ? m_b->in : m_b->out;
        if (open == this) open = nullptr;  // a probe's device was never the open one
      });
      return 0;
    }

    // Logs "in <what>" / "out <what>" and runs f, under the backend's mutex.
    template <typename F>
    int Op(const std::string& what, F&& f) {
      std::lock_guard<std::mutex> lock(m_b->mutex);
      m_b->log.push_back(std::string(m_owner->input ? "in " : "out ") + what);
      f();
      return 0;
    }

    std::deque<WAVEHDR*> queue;  // guarded by the backend's mutex
    bool running = false;

  private:
    CFakeWaveBackend* m_b;
    WaveDeviceHandle* m_owner;
    friend class CFakeWaveBackend;
  };

  CFakeWaveBackend() { WaveAudio_SetBackend(this); }
  ~CFakeWaveBackend() override { WaveAudio_SetBackend(nullptr); }

  int NumDevices(bool) override { return 2; }
  int GetCaps(bool, int devId, WAVEINCAPSA* caps) override {
    if (devId > 1) return MMSYSERR_BADDEVICEID;
    std::memset(caps, 0, sizeof(*caps));
    std::strcpy(caps->szPname, devId == 1 ? WAVE_LOOPBACK_NAME : "fake");
    caps->dwFormats = 0xFFF;
    caps->wChannels = 2;
    return 0;
  }
  std::string DeviceName(bool, int devId) override { return devId == 1 ? WAVE_LOOPBACK_NAME : "fake"; }
  bool IsLoopback(bool, int devId) override { return devId == 1; }
  int Open(WaveDeviceHandle* owner, int devId, const WAVEFORMATEX*) override {
    if (failOpen) return failOpen;
    if (devId > 1) return MMSYSERR_BADDEVICEID;
    std::lock_guard<std::mutex> lock(mutex);
    const bool gone = !devicePresent;
    if (devId == 0 && gone) return MMSYSERR_NODRIVER;
    if (devId < 0 && (defaultIsLoopback || gone) && owner->noFallback) return MMSYSERR_NODRIVER;
    owner->devId = devId < 0 ? (defaultIsLoopback || gone ? 1 : 0) : devId;
    auto dev = std::make_unique<Device>(this, owner);
    if (owner->noFallback) {
      // A probe: opened and closed again at once, never the device that moves buffers.
      log.push_back(std::string(owner->input ? "in " : "out ") + "probe");
      owner->device = std::move(dev);
      return 0;
    }
    {
      (owner->input ? in : out) = dev.get();
      inOwner = owner->input ? owner : inOwner;
      outOwner = owner->input ? outOwner : owner;
      log.push_back(std::string(owner->input ? "in " : "out ") + "open");
    }
    owner->device = std::move(dev);
    return 0;
  }

  // Device 0 goes away (as an unplugged card or an ended sound server): both open directions
  // report WAVERR_DEVICELOST with the system's text, and device 0 cannot be opened until
  // Reconnect(). The default device then opens the loop-back device (number 1).
  // (The messages go out under the mutex, so no close can take a handle away meanwhile.)
  void Disconnect(const char* systemText) {
    std::lock_guard<std::mutex> lock(mutex);
    devicePresent = false;
    if (in && inOwner->devId == 0) inOwner->Notify(WIM_ERROR, WAVERR_DEVICELOST, systemText);
    if (out && outOwner->devId == 0) outOwner->Notify(WOM_ERROR, WAVERR_DEVICELOST, systemText);
  }
  void Reconnect() {
    std::lock_guard<std::mutex> lock(mutex);
    devicePresent = true;
  }
  // Number of the open device of a direction, -1 when none is open.
  int OpenDeviceId(bool input) {
    std::lock_guard<std::mutex> lock(mutex);
    if (input) return in ? inOwner->devId : -1;
    return out ? outOwner->devId : -1;
  }

  // Fills and returns the oldest k queued input buffers (byte i of the n-th completion is
  // fill(n, i)). Returns how many were completed. Under the mutex, so that a close on another
  // thread cannot take the device away in between.
  int CompleteInput(int k, const std::function<char(int, uint32_t)>& fill = {}) {
    int done = 0;
    for (; done < k; ++done) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!in || in->queue.empty()) break;
      WAVEHDR* h = in->queue.front();
      in->queue.pop_front();
      for (uint32_t i = 0; i < h->dwBufferLength; ++i)
        h->lpData[i] = fill ? fill(inputCompletions, i) : static_cast<char>(inputCompletions);
      h->dwBytesRecorded = h->dwBufferLength;
      ++inputCompletions;
      inOwner->Complete(h);
    }
    return done;
  }
  // Plays (returns) the oldest k queued output buffers, keeping their bytes in `played`.
  int CompleteOutput(int k) {
    int done = 0;
    for (; done < k; ++done) {
      WAVEHDR* h;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!out || out->queue.empty()) break;
        h = out->queue.front();
        out->queue.pop_front();
        played.insert(played.end(), h->lpData, h->lpData + h->dwBufferLength);
      }
      outOwner->Complete(h);
    }
    return done;
  }
  void AutoPlay() {
    bool play;
    {
      std::lock_guard<std::mutex> lock(mutex);
      play = autoPlay && out && out->running;
    }
    if (play) CompleteOutput(1000);
  }
  size_t Queued(bool input) {
    std::lock_guard<std::mutex> lock(mutex);
    Device* d = input ? in : out;
    return d ? d->queue.size() : 0;
  }
  std::vector<std::string> Log(bool input) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> r;
    const std::string prefix = input ? "in " : "out ";
    for (const auto& s : log)
      if (s.rfind(prefix, 0) == 0) r.push_back(s.substr(prefix.size()));
    return r;
  }

  std::mutex mutex;
  Device* in = nullptr;
  Device* out = nullptr;
  WaveDeviceHandle* inOwner = nullptr;
  WaveDeviceHandle* outOwner = nullptr;
  std::vector<std::string> log;
  std::vector<char> played;
  int inputCompletions = 0;
  int failOpen = 0;
  bool autoPlay = false;          // output completes queued buffers at once while running
  bool defaultIsLoopback = false; // device -1 opens "the loop-back device" (number 1)
  bool devicePresent = true;      // device 0 is there (Disconnect / Reconnect)
  std::function<void(bool input)> onReset;

};
