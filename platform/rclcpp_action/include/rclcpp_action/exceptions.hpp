#ifndef RCLCPP_ACTION__EXCEPTIONS_HPP_
#define RCLCPP_ACTION__EXCEPTIONS_HPP_

#include <stdexcept>

namespace rclcpp_action
{
namespace exceptions
{

/// A goal handle was passed to a client that does not track its goal (any more).
class UnknownGoalHandleError : public std::invalid_argument
{
public:
  UnknownGoalHandleError() : std::invalid_argument("Goal handle is not known to this client.") {}
};

}  // namespace exceptions
}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__EXCEPTIONS_HPP_
