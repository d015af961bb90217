#ifndef RCLCPP__DURATION_HPP_
#define RCLCPP__DURATION_HPP_

#include <chrono>

#include "rcl/time.h"

namespace rclcpp
{

/// A signed span of time with nanosecond resolution.
class Duration
{
public:
  explicit Duration(std::chrono::nanoseconds nanoseconds);

  template <class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period> & duration)  // NOLINT(runtime/explicit)
  : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration))
  {
  }

  bool operator==(const Duration & rhs) const;
  bool operator!=(const Duration & rhs) const;
  bool operator<(const Duration & rhs) const;
  bool operator<=(const Duration & rhs) const;
  bool operator>=(const Duration & rhs) const;
  bool operator>(const Duration & rhs) const;

  rcl_duration_value_t nanoseconds() const;
  double seconds() const;

  static Duration from_nanoseconds(rcl_duration_value_t nanoseconds);

private:
  rcl_duration_value_t nanoseconds_;
};

}  // namespace rclcpp

#endif  // RCLCPP__DURATION_HPP_
