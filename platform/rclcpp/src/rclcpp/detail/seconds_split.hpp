#ifndef RCLCPP__DETAIL__SECONDS_SPLIT_HPP_
#define RCLCPP__DETAIL__SECONDS_SPLIT_HPP_

#include <cstdint>
#include <cstdlib>

namespace rclcpp
{
namespace detail
{

/// Splits a signed nanosecond count into whole seconds (rounded towards minus infinity) and
/// the non-negative nanoseconds left over, as builtin_interfaces Time and Duration hold them.
template <typename MessageT>
MessageT split_into_seconds(int64_t nanoseconds)
{
  constexpr int64_t kNanosecondsPerSecond = 1000000000;
  const auto result = std::lldiv(nanoseconds, kNanosecondsPerSecond);
  MessageT msg;
  if (result.rem >= 0) {
    msg.sec = static_cast<int32_t>(result.quot);
    msg.nanosec = static_cast<uint32_t>(result.rem);
  } else {
    msg.sec = static_cast<int32_t>(result.quot - 1);
    msg.nanosec = static_cast<uint32_t>(kNanosecondsPerSecond + result.rem);
  }
  return msg;
}

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__SECONDS_SPLIT_HPP_
