#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace bench {

// Presses OK on every message box that one thread of this process shows, from a thread of its own,
// and remembers the text of the last box it answered.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(DWORD watchedThread);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // The text of the last box answered since the previous call; empty when none was.
  std::wstring takeLastText();

 private:
  void run();

  DWORD watchedThread_;
  std::atomic<bool> stopping_{false};
  std::mutex textLock_;
  std::wstring lastText_;
  std::thread worker_;
};

}  // namespace bench
