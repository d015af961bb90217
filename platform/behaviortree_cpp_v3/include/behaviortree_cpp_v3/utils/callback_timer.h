#ifndef BEHAVIORTREE_CPP_V3__UTILS__CALLBACK_TIMER_H_
#define BEHAVIORTREE_CPP_V3__UTILS__CALLBACK_TIMER_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace BT
{
/// Runs one-shot callbacks on a worker thread of its own once their delay has passed. The worker
/// starts with the first timer and ends with the object. A cancelled callback is never run, and
/// cancelling waits for a callback that is running, so that the owner of a callback can release
/// what it uses once cancel() has returned.
class CallbackTimer
{
public:
  using Callback = std::function<void()>;

  CallbackTimer() = default;

  /// Drops the pending timers, waits for a running callback and ends the worker.
  ~CallbackTimer();

  CallbackTimer(const CallbackTimer &) = delete;
  CallbackTimer & operator=(const CallbackTimer &) = delete;

  /// Schedules `callback` to run once `delay` has passed; returns the timer's id.
  uint64_t add(std::chrono::milliseconds delay, Callback callback);

  /// Drops the timer if it is still pending. When its callback is running, waits until it has
  /// returned, unless called from that callback.
  void cancel(uint64_t id);

  /// Drops every pending timer and waits for a running callback, as cancel() does.
  void cancelAll();

private:
  using Clock = std::chrono::steady_clock;

  struct Timer
  {
    uint64_t id;
    Callback callback;
  };

  void run();
  void waitWhileRunning(std::unique_lock<std::mutex> & lock, uint64_t id);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<Clock::time_point, Timer> pending_;
  uint64_t next_id_ = 1;
  uint64_t running_id_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__UTILS__CALLBACK_TIMER_H_
