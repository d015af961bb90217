#ifndef RCLCPP__DURATION_HPP_
#define RCLCPP__DURATION_HPP_

#include <chrono>

#include "builtin_interfaces/msg/duration.hpp"
#include "rcl/time.h"
#include "rmw/types.h"

namespace rclcpp
{

/// A signed span of time with nanosecond resolution.
/** Arithmetic that leaves the int64 range throws std::overflow_error. */
class Duration
{
public:
  Duration(int32_t seconds, uint32_t nanoseconds);

  explicit Duration(std::chrono::nanoseconds nanoseconds);

  template <class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period> & duration)  // NOLINT(runtime/explicit)
  : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration))
  {
  }

  Duration(const builtin_interfaces::msg::Duration & duration_msg);  // NOLINT(runtime/explicit)

  explicit Duration(const rcl_duration_t & duration);

  Duration(const Duration & rhs) = default;
  Duration & operator=(const Duration & rhs) = default;
  Duration & operator=(const builtin_interfaces::msg::Duration & duration_msg);

  /// The message form: whole seconds rounded down, nanoseconds in [0, 1e9).
  operator builtin_interfaces::msg::Duration() const;

  bool operator==(const Duration & rhs) const;
  bool operator!=(const Duration & rhs) const;
  bool operator<(const Duration & rhs) const;
  bool operator<=(const Duration & rhs) const;
  bool operator>=(const Duration & rhs) const;
  bool operator>(const Duration & rhs) const;

  Duration operator+(const Duration & rhs) const;
  Duration & operator+=(const Duration & rhs);
  Duration operator-(const Duration & rhs) const;
  Duration & operator-=(const Duration & rhs);
  /// Throws std::runtime_error for a scale that is not finite.
  Duration operator*(double scale) const;
  Duration & operator*=(double scale);

  static Duration max();

  rcl_duration_value_t nanoseconds() const;
  double seconds() const;

  /// Truncates toward zero to whole nanoseconds.
  static Duration from_seconds(double seconds);
  static Duration from_nanoseconds(rcl_duration_value_t nanoseconds);
  static Duration from_rmw_time(rmw_time_t duration);

  template <class DurationT>
  DurationT to_chrono() const
  {
    return std::chrono::duration_cast<DurationT>(std::chrono::nanoseconds(nanoseconds_));
  }

  rmw_time_t to_rmw_time() const;

private:
  rcl_duration_value_t nanoseconds_;
};

}  // namespace rclcpp

#endif  // RCLCPP__DURATION_HPP_
