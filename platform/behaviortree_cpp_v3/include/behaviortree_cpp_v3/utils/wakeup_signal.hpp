#ifndef BEHAVIORTREE_CPP_V3__UTILS__WAKEUP_SIGNAL_HPP_
#define BEHAVIORTREE_CPP_V3__UTILS__WAKEUP_SIGNAL_HPP_

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace BT
{
/// Lets a node wake the thread that sleeps between two ticks of its tree. A signal emitted while
/// nobody waits is kept for the next wait.
class WakeUpSignal
{
public:
  /// Waits until the signal is emitted or `timeout` has passed; true when it was emitted.
  bool waitFor(std::chrono::system_clock::duration timeout)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool emitted = condition_.wait_for(lock, timeout, [this] { return ready_; });
    ready_ = false;
    return emitted;
  }

  void emitSignal()
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ready_ = true;
    }
    condition_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool ready_ = false;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__UTILS__WAKEUP_SIGNAL_HPP_
