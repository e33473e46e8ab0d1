// Progress of long work, shown on a terminal as one updating line on standard error.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zrxhost {

// Shows "label  42%" (or "label" and a count) once the work has taken more than half a second, and
// clears the line when it ends. Shows nothing unless enabled (the program enables it when standard
// error is a terminal), so scripts and tests see no trace of it.
class Progress {
 public:
  // `quietMs`: how long work goes on before its line appears.
  static void enable(bool on, int quietMs = 500);
  static bool enabled();

  // `count`, when given, is read from the display's thread instead of set() (it must be safe to
  // call from there) and is shown through `countText` ("{}" in it stands for the number).
  explicit Progress(std::string label, std::function<std::uint64_t()> count = {}, std::string countText = {});
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // How far the work is, as a fraction of the whole: cheap, callable as often as wanted.
  void set(double fraction) { mFraction.store(fraction, std::memory_order_relaxed); }
  // While the user is asked something, the line goes away; the half second starts again after.
  void pause();
  void resume();

 private:
  void run();
  void clearLocked();

  std::string mLabel;
  std::function<std::uint64_t()> mCount;
  std::string mCountText;
  std::atomic<double> mFraction{-1};
  std::mutex mMutex;
  std::condition_variable mWake;
  bool mStop = false;
  bool mPaused = false;
  bool mShown = false;
  std::chrono::steady_clock::time_point mSince;
  std::thread mThread;
};

}  // namespace zrxhost
