#include "rclcpp/detail/wake_signal.hpp"

namespace rclcpp
{
namespace detail
{

void WakeSignal::trigger()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    triggered_ = true;
  }
  condition_.notify_all();
}

void WakeSignal::reset()
{
  std::lock_guard<std::mutex> lock(mutex_);
  triggered_ = false;
}

bool WakeSignal::wait_until(std::chrono::steady_clock::time_point deadline)
{
  std::unique_lock<std::mutex> lock(mutex_);
  if (deadline == std::chrono::steady_clock::time_point::max()) {
    condition_.wait(lock, [this] { return triggered_; });
  } else {
    condition_.wait_until(lock, deadline, [this] { return triggered_; });
  }
  const bool triggered = triggered_;
  triggered_ = false;
  return triggered;
}

}  // namespace detail
}  // namespace rclcpp
