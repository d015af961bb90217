#include "rclcpp/duration.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "detail/seconds_split.hpp"

namespace rclcpp
{

namespace
{

constexpr rcl_duration_value_t kNanosecondsPerSecond = RCL_S_TO_NS(1);

rcl_duration_value_t checked_sum(
  rcl_duration_value_t lhs, rcl_duration_value_t rhs, const char * what)
{
  rcl_duration_value_t result;
  if (__builtin_add_overflow(lhs, rhs, &result)) {
    if (lhs > 0) {
      throw std::overflow_error(std::string(what) + " leads to int64_t overflow");
    }
    throw std::underflow_error(std::string(what) + " leads to int64_t underflow");
  }
  return result;
}

}  // namespace

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
: nanoseconds_(RCL_S_TO_NS(static_cast<rcl_duration_value_t>(seconds)) + nanoseconds)
{
}

Duration::Duration(std::chrono::nanoseconds nanoseconds) : nanoseconds_(nanoseconds.count()) {}

Duration::Duration(const builtin_interfaces::msg::Duration & duration_msg)
: nanoseconds_(
    RCL_S_TO_NS(static_cast<rcl_duration_value_t>(duration_msg.sec)) +
    static_cast<rcl_duration_value_t>(duration_msg.nanosec))
{
}

Duration::Duration(const rcl_duration_t & duration) : nanoseconds_(duration.nanoseconds) {}

Duration & Duration::operator=(const builtin_interfaces::msg::Duration & duration_msg)
{
  *this = Duration(duration_msg);
  return *this;
}

Duration::operator builtin_interfaces::msg::Duration() const
{
  return detail::split_into_seconds<builtin_interfaces::msg::Duration>(nanoseconds_);
}

bool Duration::operator==(const Duration & rhs) const { return nanoseconds_ == rhs.nanoseconds_; }
bool Duration::operator!=(const Duration & rhs) const { return nanoseconds_ != rhs.nanoseconds_; }
bool Duration::operator<(const Duration & rhs) const { return nanoseconds_ < rhs.nanoseconds_; }
bool Duration::operator<=(const Duration & rhs) const { return nanoseconds_ <= rhs.nanoseconds_; }
bool Duration::operator>=(const Duration & rhs) const { return nanoseconds_ >= rhs.nanoseconds_; }
bool Duration::operator>(const Duration & rhs) const { return nanoseconds_ > rhs.nanoseconds_; }

Duration Duration::operator+(const Duration & rhs) const
{
  return Duration::from_nanoseconds(checked_sum(nanoseconds_, rhs.nanoseconds_, "addition"));
}

Duration & Duration::operator+=(const Duration & rhs)
{
  *this = *this + rhs;
  return *this;
}

Duration Duration::operator-(const Duration & rhs) const
{
  rcl_duration_value_t result;
  if (__builtin_sub_overflow(nanoseconds_, rhs.nanoseconds_, &result)) {
    if (nanoseconds_ >= 0) {
      throw std::overflow_error("duration subtraction leads to int64_t overflow");
    }
    throw std::underflow_error("duration subtraction leads to int64_t underflow");
  }
  return Duration::from_nanoseconds(result);
}

Duration & Duration::operator-=(const Duration & rhs)
{
  *this = *this - rhs;
  return *this;
}

Duration Duration::operator*(double scale) const
{
  if (!std::isfinite(scale)) {
    throw std::runtime_error("abnormal scale in rclcpp::Duration");
  }
  const long double scaled = static_cast<long double>(nanoseconds_) * scale;
  if (scaled > static_cast<long double>(std::numeric_limits<rcl_duration_value_t>::max())) {
    throw std::overflow_error("duration scaling leads to int64_t overflow");
  }
  if (scaled < static_cast<long double>(std::numeric_limits<rcl_duration_value_t>::min())) {
    throw std::underflow_error("duration scaling leads to int64_t underflow");
  }
  return Duration::from_nanoseconds(static_cast<rcl_duration_value_t>(scaled));
}

Duration & Duration::operator*=(double scale)
{
  *this = *this * scale;
  return *this;
}

Duration Duration::max() { return Duration(std::numeric_limits<int32_t>::max(), 999999999); }

rcl_duration_value_t Duration::nanoseconds() const { return nanoseconds_; }

double Duration::seconds() const
{
  return std::chrono::duration<double>(std::chrono::nanoseconds(nanoseconds_)).count();
}

Duration Duration::from_seconds(double seconds)
{
  return Duration::from_nanoseconds(static_cast<rcl_duration_value_t>(RCL_S_TO_NS(seconds)));
}

Duration Duration::from_nanoseconds(rcl_duration_value_t nanoseconds)
{
  return Duration(std::chrono::nanoseconds(nanoseconds));
}

Duration Duration::from_rmw_time(rmw_time_t duration)
{
  constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<rcl_duration_value_t>::max());
  const uint64_t whole_seconds_limit = kMax / kNanosecondsPerSecond;
  if (
    duration.sec > whole_seconds_limit ||
    duration.sec * kNanosecondsPerSecond > kMax - duration.nsec) {
    return Duration::from_nanoseconds(std::numeric_limits<rcl_duration_value_t>::max());
  }
  return Duration::from_nanoseconds(
    static_cast<rcl_duration_value_t>(duration.sec * kNanosecondsPerSecond + duration.nsec));
}

rmw_time_t Duration::to_rmw_time() const
{
  if (nanoseconds_ < 0) {
    throw std::runtime_error("rmw_time_t cannot be negative");
  }
  rmw_time_t result;
  result.sec = static_cast<uint64_t>(nanoseconds_ / kNanosecondsPerSecond);
  result.nsec = static_cast<uint64_t>(nanoseconds_ % kNanosecondsPerSecond);
  return result;
}

}  // namespace rclcpp
