#ifndef RCLCPP__CLOCK_HPP_
#define RCLCPP__CLOCK_HPP_

#include "rcl/time.h"
#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp
{

/// Reads the current time of one clock type.
/**
 * RCL_SYSTEM_TIME and RCL_ROS_TIME read the wall clock (no simulated time source exists),
 * RCL_STEADY_TIME a monotonic clock.
 */
class Clock
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Clock)

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  Time now() const;

  /// Always false: simulated time is not supported.
  bool ros_time_is_active();

  rcl_clock_type_t get_clock_type() const noexcept;

private:
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLOCK_HPP_
