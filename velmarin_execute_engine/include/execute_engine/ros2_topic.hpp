// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__ROS2_TOPIC_HPP_
#define EXECUTE_ENGINE__ROS2_TOPIC_HPP_

#include <array>
#include <cstdint>

#include "nav2_msgs/srv/load_map.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/msg/initial_pose.hpp"
#include "velmarin_protocol/msg/localization_map_and_pose.hpp"
#include "velmarin_protocol/msg/reach_destination_pose.hpp"

namespace execute_engine
{

// Covariance of the published initial pose, row-major 6x6 (x, y, z, roll, pitch, yaw):
// 0.25 for x and y, (pi/12)^2 for the heading, 0 elsewhere.
extern const std::array<double, 36> kInitPoseCovariance;

// The node "execute_engine_topic": publishes the initial pose with its map and the outcome of
// navigation goals, and loads maps through the map server. Each publisher and the map-load
// client sit in a mutually exclusive callback group of their own, so the map server's reply is
// never held up by another callback of this node. The node must be spun by an executor with a
// thread free to deliver that reply while PubInitLocation waits.
class Ros2Topic : public rclcpp::Node
{
public:
  Ros2Topic();
  ~Ros2Topic() override;

  // Has the map server load the map of the current request (its first ".pbstream" offered as
  // ".yaml") and, once it reports success, publishes `pose` with the request's map path on
  // "localization_map_and_pose". Blocks up to 1 s waiting for the map server and 10 s for its
  // reply. True once the pose is published; every failure publishes nothing and gives false
  // (logged, but for a heading that gives no orientation). Call it while the engine's current
  // request is set and cannot change (inside a tick).
  bool PubInitLocation(const velmarin_protocol::msg::InitialPose & pose);

  // Publishes the outcome of a navigation goal on "reachdestpose"; a non-zero `state` is true.
  void PubReachDestPose(int32_t index, uint8_t state, int32_t errnum);

private:
  rclcpp::CallbackGroup::SharedPtr loc_pose_cb_group_;
  rclcpp::Publisher<velmarin_protocol::msg::LocalizationMapAndPose>::SharedPtr loc_pose_pub_;
  rclcpp::CallbackGroup::SharedPtr reach_dest_cb_group_;
  rclcpp::Publisher<velmarin_protocol::msg::ReachDestinationPose>::SharedPtr reach_dest_pub_;
  rclcpp::CallbackGroup::SharedPtr load_map_cb_group_;
  rclcpp::Client<nav2_msgs::srv::LoadMap>::SharedPtr load_map_client_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__ROS2_TOPIC_HPP_
