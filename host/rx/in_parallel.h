// Two pieces of work run at once: the second on a thread of its own where one can be had.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

namespace zrxhost {

// Runs `first` on this thread and `second` beside it on a thread of its own when `worthAThread` and
// the machine has a second core, else one after the other; returns when both are done. What either
// throws is thrown here, after both have finished.
template <typename First, typename Second>
void inParallel(bool worthAThread, const First& first, const Second& second) {
  std::thread beside;
  std::exception_ptr besideFailed;
  if (worthAThread && std::thread::hardware_concurrency() >= 2) {
    try {
      beside = std::thread([&] {
        try {
          second();
        } catch (...) {
          besideFailed = std::current_exception();
        }
      });
    } catch (const std::system_error&) {  // no thread to be had: this one does both
    }
  }
  try {
    first();
  } catch (...) {
    if (beside.joinable()) beside.join();
    throw;
  }
  if (!beside.joinable()) return second();
  beside.join();
  if (besideFailed) std::rethrow_exception(besideFailed);
}

}  // namespace zrxhost
