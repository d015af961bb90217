#ifndef RCLCPP__TIME_HPP_
#define RCLCPP__TIME_HPP_

#include "builtin_interfaces/msg/time.hpp"
#include "rcl/time.h"
#include "rclcpp/duration.hpp"

namespace rclcpp
{

/// A point in time of one clock type, in nanoseconds since that clock's epoch.
/**
 * Comparing or subtracting times of different clock types throws std::runtime_error;
 * a subtraction that leaves the int64 range throws std::overflow_error or
 * std::underflow_error.
 */
class Time
{
public:
  /// Throws std::runtime_error for negative seconds.
  Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  explicit Time(int64_t nanoseconds = 0, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  /// The message form: whole seconds rounded down, nanoseconds in [0, 1e9).
  operator builtin_interfaces::msg::Time() const;

  bool operator==(const rclcpp::Time & rhs) const;
  bool operator!=(const rclcpp::Time & rhs) const;
  bool operator<(const rclcpp::Time & rhs) const;
  bool operator<=(const rclcpp::Time & rhs) const;
  bool operator>=(const rclcpp::Time & rhs) const;
  bool operator>(const rclcpp::Time & rhs) const;

  Duration operator-(const rclcpp::Time & rhs) const;

  rcl_time_point_value_t nanoseconds() const;

  double seconds() const;

  rcl_clock_type_t get_clock_type() const;

private:
  rcl_time_point_value_t nanoseconds_;
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TIME_HPP_
