// Frame-by-frame work split over two threads: a worker prepares item i + 1
// (composing a frame is the usual job) while the caller's thread uses item
// i. Items are used strictly in order, so the result never depends on
// timing; at most two prepared items wait at any time, so memory stays at a
// few frames however long the animation is.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "app/gif_image.h"

// Calls make(i, item) for i = 0 .. count - 1 on a worker thread and
// use(i, item) on the calling thread in the same order. Either returning
// false stops both; the function then returns false. Without a second
// thread (count 1, or none could be started) both run on the caller's.
template <class T>
bool ProduceInOrder(int count, const std::function<bool(int, T&)>& make, const std::function<bool(int, T&)>& use) {
  auto serial = [&](int from) {
    for (int i = from; i < count; ++i) {
      T item{};
      if (!make(i, item) || !use(i, item)) return false;
    }
    return true;
  };
  if (count <= 1) return serial(0);
  struct Slot {
    T item{};
    bool ok = false;
  };
  std::mutex mu;
  std::condition_variable changed;
  std::deque<Slot> ready;
  bool stop = false;
  bool workerDone = false;
  constexpr std::size_t kAhead = 2;
  auto work = [&] {
    for (int i = 0; i < count; ++i) {
      {
        std::unique_lock<std::mutex> lock(mu);
        changed.wait(lock, [&] { return stop || ready.size() < kAhead; });
        if (stop) break;
      }
      Slot s;
      try {
        s.ok = make(i, s.item);
      } catch (...) {  // out of memory on this thread must not end the program: a failed item
        s.ok = false;
      }
      std::lock_guard<std::mutex> lock(mu);
      ready.push_back(std::move(s));
      changed.notify_all();
      if (!ready.back().ok) break;
    }
    std::lock_guard<std::mutex> lock(mu);
    workerDone = true;
    changed.notify_all();
  };
  std::thread worker;
  try {
    worker = std::thread(work);
  } catch (const std::system_error&) {
    return serial(0);
  }
  auto finish = [&] {
    {
      std::lock_guard<std::mutex> lock(mu);
      stop = true;
      changed.notify_all();
    }
    worker.join();
  };
  bool ok = true;
  try {
    for (int i = 0; i < count && ok; ++i) {
      Slot s;
      {
        std::unique_lock<std::mutex> lock(mu);
        changed.wait(lock, [&] { return !ready.empty() || workerDone; });
        if (ready.empty()) {
          ok = false;
          break;
        }
        s = std::move(ready.front());
        ready.pop_front();
        changed.notify_all();
      }
      ok = s.ok && use(i, s.item);
    }
  } catch (...) {
    finish();  // the worker is stopped and joined before the exception goes on
    throw;
  }
  finish();
  return ok;
}

// A frame composed on the canvas with its 1-bit opacity mask.
struct CComposedFrame {
  DibPtr image, mask;
};
