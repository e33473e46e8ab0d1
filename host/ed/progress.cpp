// The progress line: a thread that redraws one line on standard error while long work goes on.
#include "zrxhost/progress.h"

#include <unistd.h>

#include <cmath>

namespace zrxhost {
namespace {

std::atomic<bool> gEnabled{false};
std::atomic<int> gQuietMs{500};
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

void writeToTerminal(const std::string& text) {
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, data, left);
    if (n <= 0) return;  // a progress line is worth no retry
    data += n;
    left -= static_cast<size_t>(n);
  }
}

std::string withThousands(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

}  // namespace

void Progress::enable(bool on, int quietMs) {
  gEnabled = on;
  gQuietMs = quietMs;
}
bool Progress::enabled() {
  return gEnabled;
}

Progress::Progress(std::string label, std::function<std::uint64_t()> count, std::string countText)
    : mLabel(std::move(label)), mCount(std::move(count)), mCountText(std::move(countText)) {
  if (!gEnabled) return;
  mSince = std::chrono::steady_clock::now();
  mThread = std::thread([this] { run(); });
}

Progress::~Progress() {
  if (!mThread.joinable()) return;
  {
    std::lock_guard lock(mMutex);
    mStop = true;
    clearLocked();
  }
  mWake.notify_one();
  mThread.join();
}

void Progress::pause() {
  if (!mThread.joinable()) return;
  std::lock_guard lock(mMutex);
  mPaused = true;
  clearLocked();
}

void Progress::resume() {
  if (!mThread.joinable()) return;
  {
    std::lock_guard lock(mMutex);
    mPaused = false;
    mSince = std::chrono::steady_clock::now();
  }
  // Work after the last answer may be shorter than a redraw period: look again now.
  mWake.notify_one();
}

void Progress::clearLocked() {
  if (!mShown) return;
  writeToTerminal("\r\x1b[K");
  mShown = false;
}

void Progress::run() {
  std::unique_lock lock(mMutex);
  // The first look comes at once, so that a zero delay shows even the shortest work.
  for (bool first = true; !mStop; first = false) {
    if (!first) mWake.wait_for(lock, kRedrawEvery);
    if (mStop || mPaused || std::chrono::steady_clock::now() - mSince < std::chrono::milliseconds(gQuietMs.load()))
      continue;
    std::string line = "\r\x1b[K" + mLabel;
    if (mCount) {
      std::string text = mCountText;
      if (const size_t slot = text.find("{}"); slot != std::string::npos)
        text.replace(slot, 2, withThousands(mCount()));
      line += "  " + text;
    } else if (const double fraction = mFraction.load(std::memory_order_relaxed); fraction >= 0) {
      line += "  " + std::to_string(static_cast<int>(std::floor(std::min(fraction, 1.0) * 100))) + "%";
    }
    writeToTerminal(line);
    mShown = true;
  }
}

}  // namespace zrxhost
