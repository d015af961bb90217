#include "rclcpp/clock.hpp"

#include <chrono>
#include <stdexcept>

namespace rclcpp
{

Clock::Clock(rcl_clock_type_t clock_type) : clock_type_(clock_type)
{
  if (
    clock_type != RCL_ROS_TIME && clock_type != RCL_SYSTEM_TIME && clock_type != RCL_STEADY_TIME) {
    throw std::invalid_argument(
      "clock type must be RCL_ROS_TIME, RCL_SYSTEM_TIME or RCL_STEADY_TIME");
  }
}

Time Clock::now() const
{
  std::chrono::nanoseconds since_epoch;
  if (clock_type_ == RCL_STEADY_TIME) {
    since_epoch = std::chrono::steady_clock::now().time_since_epoch();
  } else {
    since_epoch = std::chrono::system_clock::now().time_since_epoch();
  }
  return Time(static_cast<int64_t>(since_epoch.count()), clock_type_);
}

bool Clock::ros_time_is_active() { return false; }

rcl_clock_type_t Clock::get_clock_type() const noexcept { return clock_type_; }

}  // namespace rclcpp
