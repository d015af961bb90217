#ifndef RCLCPP__DETAIL__WAKE_SIGNAL_HPP_
#define RCLCPP__DETAIL__WAKE_SIGNAL_HPP_

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace rclcpp
{
namespace detail
{

/// A latch one waiter sleeps on and any thread may trigger; a trigger that comes while nobody
/// waits is kept for the next wait.
class WakeSignal
{
public:
  void trigger();

  /// Forget a pending trigger.
  void reset();

  /// Sleep until triggered or `deadline`; true when triggered. Consumes the trigger.
  bool wait_until(std::chrono::steady_clock::time_point deadline);

private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool triggered_ = false;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__WAKE_SIGNAL_HPP_
