#ifndef RCLCPP_ACTION__TYPES_HPP_
#define RCLCPP_ACTION__TYPES_HPP_

#include <array>
#include <cstdint>
#include <string>

#include "action_msgs/msg/goal_info.hpp"
#include "action_msgs/msg/goal_status.hpp"

namespace rclcpp_action
{

/// The 16 bytes that name one goal on the graph.
using GoalUUID = std::array<uint8_t, 16>;
using GoalStatus = action_msgs::msg::GoalStatus;
using GoalInfo = action_msgs::msg::GoalInfo;

/// The goal id as 32 lower-case hex digits.
std::string to_string(const GoalUUID & goal_id);

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__TYPES_HPP_
