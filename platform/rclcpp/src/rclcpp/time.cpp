#include "rclcpp/time.hpp"

#include <stdexcept>

#include "detail/seconds_split.hpp"

namespace rclcpp
{

namespace
{

void require_same_clock(const Time & lhs, const Time & rhs, const char * message)
{
  if (lhs.get_clock_type() != rhs.get_clock_type()) {
    throw std::runtime_error(message);
  }
}

void require_non_negative(int64_t seconds)
{
  if (seconds < 0) {
    throw std::runtime_error("cannot store a negative time point in rclcpp::Time");
  }
}

constexpr const char * kCompareError = "can't compare times with different time sources";

}  // namespace

Time::Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type)
: nanoseconds_(0), clock_type_(clock_type)
{
  require_non_negative(seconds);
  nanoseconds_ = RCL_S_TO_NS(static_cast<int64_t>(seconds)) + nanoseconds;
}

Time::Time(int64_t nanoseconds, rcl_clock_type_t clock_type)
: nanoseconds_(nanoseconds), clock_type_(clock_type)
{
}

Time::operator builtin_interfaces::msg::Time() const
{
  return detail::split_into_seconds<builtin_interfaces::msg::Time>(nanoseconds_);
}

bool Time::operator==(const rclcpp::Time & rhs) const
{
  require_same_clock(*this, rhs, kCompareError);
  return nanoseconds_ == rhs.nanoseconds_;
}

bool Time::operator!=(const rclcpp::Time & rhs) const { return !(*this == rhs); }

bool Time::operator<(const rclcpp::Time & rhs) const
{
  require_same_clock(*this, rhs, kCompareError);
  return nanoseconds_ < rhs.nanoseconds_;
}

bool Time::operator<=(const rclcpp::Time & rhs) const
{
  require_same_clock(*this, rhs, kCompareError);
  return nanoseconds_ <= rhs.nanoseconds_;
}

bool Time::operator>=(const rclcpp::Time & rhs) const
{
  require_same_clock(*this, rhs, kCompareError);
  return nanoseconds_ >= rhs.nanoseconds_;
}

bool Time::operator>(const rclcpp::Time & rhs) const
{
  require_same_clock(*this, rhs, kCompareError);
  return nanoseconds_ > rhs.nanoseconds_;
}

Duration Time::operator-(const rclcpp::Time & rhs) const
{
  require_same_clock(*this, rhs, "can't subtract times with different time sources");
  rcl_duration_value_t result;
  if (__builtin_sub_overflow(nanoseconds_, rhs.nanoseconds_, &result)) {
    if (rhs.nanoseconds_ < 0) {
      throw std::overflow_error("time subtraction leads to int64_t overflow");
    }
    throw std::underflow_error("time subtraction leads to int64_t underflow");
  }
  return Duration::from_nanoseconds(result);
}

rcl_time_point_value_t Time::nanoseconds() const { return nanoseconds_; }

double Time::seconds() const
{
  return std::chrono::duration<double>(std::chrono::nanoseconds(nanoseconds_)).count();
}

rcl_clock_type_t Time::get_clock_type() const { return clock_type_; }

}  // namespace rclcpp
