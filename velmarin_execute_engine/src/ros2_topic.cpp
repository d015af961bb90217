// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/ros2_topic.hpp"

#include <tf2/LinearMath/Quaternion.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>

#include "common_util/constants.hpp"
#include "common_util/log_holder.hpp"
#include "common_util/path_util.hpp"
#include "common_util/util.hpp"
#include "execute_engine/execute_engine.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace execute_engine
{

// clang-format off
const std::array<double, 36> kInitPoseCovariance = {
  0.25, 0.0,  0.0, 0.0, 0.0, 0.0,
  0.0,  0.25, 0.0, 0.0, 0.0, 0.0,
  0.0,  0.0,  0.0, 0.0, 0.0, 0.0,
  0.0,  0.0,  0.0, 0.0, 0.0, 0.0,
  0.0,  0.0,  0.0, 0.0, 0.0, 0.0,
  0.0,  0.0,  0.0, 0.0, 0.0, 0.06853891945200942,
};
// clang-format on

namespace
{

constexpr char kNodeName[] = "execute_engine_topic";
constexpr char kLoadMapService[] = "/map_server/load_map";
constexpr char kMapFrame[] = "map";
constexpr char kPbstreamSuffix[] = ".pbstream";
constexpr char kYamlSuffix[] = ".yaml";
constexpr std::chrono::milliseconds kLoadMapResponseTimeout{10000};
constexpr std::chrono::milliseconds kLoadMapServiceTimeout{1000};

bool HasNan(const geometry_msgs::msg::Quaternion & quaternion)
{
  return std::isnan(quaternion.x) || std::isnan(quaternion.y) || std::isnan(quaternion.z) ||
         std::isnan(quaternion.w);
}

}  // namespace

Ros2Topic::Ros2Topic() : rclcpp::Node(kNodeName)
{
  loc_pose_cb_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  rclcpp::PublisherOptions loc_pose_options;
  loc_pose_options.callback_group = loc_pose_cb_group_;
  loc_pose_pub_ = create_publisher<velmarin_protocol::msg::LocalizationMapAndPose>(
    common_util::kLocalizationMapAndPoseTopic, rclcpp::QoS(1), loc_pose_options);

  reach_dest_cb_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  rclcpp::PublisherOptions reach_dest_options;
  reach_dest_options.callback_group = reach_dest_cb_group_;
  reach_dest_pub_ = create_publisher<velmarin_protocol::msg::ReachDestinationPose>(
    common_util::kReachDestPoseTopic, rclcpp::QoS(1), reach_dest_options);

  load_map_cb_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, true);
  load_map_client_ = create_client<nav2_msgs::srv::LoadMap>(
    kLoadMapService, rmw_qos_profile_services_default, load_map_cb_group_);
}

Ros2Topic::~Ros2Topic()
{
  loc_pose_pub_.reset();
  reach_dest_pub_.reset();
}

bool Ros2Topic::PubInitLocation(const velmarin_protocol::msg::InitialPose & pose)
{
  EE_LOG_DEBUG("publishInitPos receive x:{}, y:{}, angle:{}", pose.x, pose.y, pose.angle);
  const double yaw = common_util::NormalizeAngle(pose.angle);
  tf2::Quaternion heading;
  heading.setRPY(0.0, 0.0, yaw);
  const geometry_msgs::msg::Quaternion orientation = tf2::toMsg(heading);
  if (HasNan(orientation)) {
    return false;
  }

  const std::shared_ptr<velmarin_protocol::srv::RobotCommon::Request> request =
    g_execute_engine->GetRequest();
  const std::string & map_path = request->map_path;
  const std::string::size_type pbstream_at = map_path.find(kPbstreamSuffix);
  if (pbstream_at == std::string::npos) {
    EE_LOG_ERROR("Not find key '.pbstream' in {}", map_path);
    return false;
  }

  // The map server reads the map's ".yaml" description; only the load request names it.
  common_util::ServiceCallHolder<nav2_msgs::srv::LoadMap> load_map;
  load_map.request->map_url = map_path;
  load_map.request->map_url.replace(pbstream_at, sizeof(kPbstreamSuffix) - 1, kYamlSuffix);
  if (
    !common_util::SyncCallService(
      load_map_client_, load_map, kLoadMapResponseTimeout, kLoadMapServiceTimeout) ||
    load_map.response->result != nav2_msgs::srv::LoadMap::Response::RESULT_SUCCESS) {
    EE_LOG_ERROR("SyncCallService to load map error!");
    return false;
  }

  velmarin_protocol::msg::LocalizationMapAndPose message;
  message.pose.header.frame_id = kMapFrame;
  message.pose.pose.pose.position.x = pose.x;
  message.pose.pose.pose.position.y = pose.y;
  message.pose.pose.pose.position.z = 0.0;
  message.pose.pose.pose.orientation = orientation;
  message.pose.pose.covariance = kInitPoseCovariance;
  message.map_path = map_path;
  loc_pose_pub_->publish(message);
  return true;
}

void Ros2Topic::PubReachDestPose(int32_t index, uint8_t state, int32_t errnum)
{
  velmarin_protocol::msg::ReachDestinationPose message;
  message.index = index;
  message.state = state != 0;
  message.errnum = errnum;
  reach_dest_pub_->publish(message);
}

}  // namespace execute_engine
