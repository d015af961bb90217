#include "rclcpp/timer.hpp"

#include <utility>

namespace rclcpp
{

TimerBase::TimerBase(std::chrono::nanoseconds period)
: period_(period), next_call_(std::chrono::steady_clock::now() + period)
{
}

TimerBase::~TimerBase() = default;

void TimerBase::cancel()
{
  std::lock_guard<std::mutex> lock(mutex_);
  canceled_ = true;
}

bool TimerBase::is_canceled()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return canceled_;
}

void TimerBase::reset()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    canceled_ = false;
    next_call_ = std::chrono::steady_clock::now() + period_;
  }
  notify_callback_group();
}

std::chrono::nanoseconds TimerBase::time_until_trigger()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
    next_call_ - std::chrono::steady_clock::now());
}

std::chrono::steady_clock::time_point TimerBase::next_call_time()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return canceled_ ? std::chrono::steady_clock::time_point::max() : next_call_;
}

bool TimerBase::is_steady() { return true; }

bool TimerBase::is_ready()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return !canceled_ && std::chrono::steady_clock::now() >= next_call_;
}

std::shared_ptr<void> TimerBase::take_data()
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (canceled_ || now < next_call_) {
    return nullptr;
  }
  next_call_ += period_;
  if (next_call_ <= now && period_.count() > 0) {
    const auto behind = now - next_call_;
    next_call_ += (behind / period_ + 1) * period_;
  }
  // Any non-null value: the call itself carries no data.
  return std::make_shared<bool>(true);
}

void TimerBase::execute(std::shared_ptr<void> & data)
{
  (void)data;
  execute_callback();
}

}  // namespace rclcpp
