// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <type_traits>

#include "velmarin_localization_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/get_trajectory_states.hpp"
#include "velmarin_mapping_ros_msgs/srv/start_trajectory.hpp"
#include "velmarin_protocol/action/planner.hpp"
#include "velmarin_protocol/msg/localization_map_and_pose.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace
{

// A message of one peer's package must never be handed to the other peer's service.
static_assert(!std::is_same_v<
              velmarin_mapping_ros_msgs::srv::GetTrajectoryStates,
              velmarin_localization_ros_msgs::srv::GetTrajectoryStates>);
static_assert(!std::is_convertible_v<
              velmarin_mapping_ros_msgs::srv::GetTrajectoryStates::Response,
              velmarin_localization_ros_msgs::srv::GetTrajectoryStates::Response>);

TEST(InterfaceDefaults, FullInitialisationZeroesOwnFieldsAndKeepsPublicDefaults)
{
  using rosidl_runtime_cpp::MessageInitialization;
  // Nothing of the robot's own types declares a default: fully initialised equals zeroed.
  EXPECT_EQ(
    velmarin_protocol::srv::RobotCommon::Request(),
    velmarin_protocol::srv::RobotCommon::Request(MessageInitialization::ZERO));
  EXPECT_EQ(
    velmarin_protocol::action::Planner::Goal(),
    velmarin_protocol::action::Planner::Goal(MessageInitialization::ZERO));
  // Nested public types keep their own defaults: the identity quaternion.
  EXPECT_EQ(
    velmarin_mapping_ros_msgs::srv::StartTrajectory::Request().initial_pose.orientation.w, 1.0);
  EXPECT_EQ(velmarin_protocol::msg::LocalizationMapAndPose().pose.pose.pose.orientation.w, 1.0);
}

}  // namespace
