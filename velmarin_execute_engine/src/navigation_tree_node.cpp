// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/navigation_tree_node.hpp"

#include <tf2/LinearMath/Quaternion.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "common_util/log_holder.hpp"
#include "common_util/path_util.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace execute_engine
{

namespace
{
constexpr int32_t kMoveCmd = 101;
constexpr int32_t kWorkCmd = 102;
constexpr int32_t kWorkTask = 1;
constexpr int32_t kMoveTask = 2;
constexpr int32_t kPauseControl = 1;
constexpr int32_t kRecoveryControl = 2;
}  // namespace

NavigationTreeNode::NavigationTreeNode(
  const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params)
: Ros2ActionNode(name, config, params),
  cmd_handlers_{
    {4, std::bind(&NavigationTreeNode::Cancel, this, std::placeholders::_1)},
    {5, std::bind(&NavigationTreeNode::Pause, this, std::placeholders::_1)},
    {6, std::bind(&NavigationTreeNode::OnCmd6, this, std::placeholders::_1)},
    {7, std::bind(&NavigationTreeNode::OnCmd7, this, std::placeholders::_1)},
    {kWorkCmd, std::bind(&NavigationTreeNode::Work, this, std::placeholders::_1)},
    {kMoveCmd, std::bind(&NavigationTreeNode::Move, this, std::placeholders::_1)},
    {403, std::bind(&NavigationTreeNode::Recovery, this, std::placeholders::_1)},
  }
{
}

NavigationTreeNode::~NavigationTreeNode() = default;

bool NavigationTreeNode::fillGoal(Goal & goal)
{
  const ExecuteEngine::Request * request = g_execute_engine->GetRequestPtr();
  StatusBlock * status = g_execute_engine->GetStatus();
  const auto handler = cmd_handlers_.find(request->command.cmd);
  if (handler == cmd_handlers_.end()) {
    return false;
  }
  if (handler->second(goal)) {
    ++status->success_count;
    return true;
  }
  ++status->failure_count;
  return false;
}

BT::NodeStatus NavigationTreeNode::onResultReceived(const WrappedResult & result)
{
  const auto message = result.result;
  if (!message) {
    if (PublishReachDestPose(-1, 0, 0)) {
      EE_LOG_ERROR("Navigation action result get empty response");
    }
    return BT::NodeStatus::FAILURE;
  }
  if (!PublishReachDestPose(message->index, message->state, message->errnum)) {
    return BT::NodeStatus::FAILURE;
  }
  EE_LOG_DEBUG(
    "Navigation action result index:{}, state:{}, errmsg:{}, errnum:{}", message->index,
    static_cast<unsigned int>(message->state), message->errmsg, message->errnum);
  return BT::NodeStatus::SUCCESS;
}

void NavigationTreeNode::onGoalLost(int32_t cmd)
{
  if (cmd == kMoveCmd || cmd == kWorkCmd) {
    PublishReachDestPose(-1, 0, 0);
  }
}

bool NavigationTreeNode::PublishReachDestPose(int32_t index, uint8_t state, int32_t errnum)
{
  // A cast that checks: a node of another type would otherwise be used as the topic node.
  const auto topic = std::dynamic_pointer_cast<Ros2Topic>(g_execute_engine->GetNode());
  if (!topic) {
    EE_LOG_DEBUG("Navigation action resutl get null topic node");
    return false;
  }
  topic->PubReachDestPose(index, state, errnum);
  return true;
}

BT::NodeStatus NavigationTreeNode::onFeedback(std::shared_ptr<const Feedback> /*feedback*/)
{
  return BT::NodeStatus::RUNNING;
}

bool NavigationTreeNode::Cancel(Goal & /*goal*/)
{
  if (status() != BT::NodeStatus::RUNNING || !followsGoal()) {
    return false;
  }
  cancelGoal();
  return true;
}

bool NavigationTreeNode::Pause(Goal & goal)
{
  EE_LOG_DEBUG("NavigationTreeNode::Pause");
  goal.control = kPauseControl;
  return true;
}

bool NavigationTreeNode::OnCmd6(Goal & /*goal*/) { return true; }

bool NavigationTreeNode::OnCmd7(Goal & /*goal*/) { return true; }

bool NavigationTreeNode::Move(Goal & goal)
{
  EE_LOG_DEBUG("step in NavigationTreeNode::Move");
  const auto request = g_execute_engine->GetRequest();
  // An empty route goes out as it came; a route with an unusable heading is not sent with
  // made-up poses in place of its points.
  if (!CalculateGoal(goal) && !request->navigation_points.empty()) {
    return false;
  }
  goal.task_type = kMoveTask;
  goal.control = request->nav_control;
  return true;
}

bool NavigationTreeNode::Work(Goal & goal)
{
  const auto request = g_execute_engine->GetRequest();
  EE_LOG_DEBUG("step in NavigationTreeNode::Work");
  if (!CalculateGoal(goal)) {
    return false;
  }
  goal.task_type = kWorkTask;
  goal.control = request->nav_control;
  return true;
}

bool NavigationTreeNode::Recovery(Goal & goal)
{
  EE_LOG_DEBUG("NavigationTreeNode::Recovery");
  goal.control = kRecoveryControl;
  return true;
}

bool NavigationTreeNode::CalculateGoal(Goal & goal)
{
  const auto request = g_execute_engine->GetRequest();
  const auto & points = request->navigation_points;
  if (points.empty()) {
    EE_LOG_ERROR("navigation points empty");
    return false;
  }
  EE_LOG_DEBUG("step into NavigationTreeNode::CalculateGoal navigation.size() = {}", points.size());
  goal.poses.resize(points.size());
  for (int32_t i = 0; i < static_cast<int32_t>(points.size()); ++i) {
    const auto & point = points[i];
    tf2::Quaternion heading;
    heading.setRPY(0.0, 0.0, common_util::NormalizeAngle(point.yaw));
    const geometry_msgs::msg::Quaternion orientation = tf2::toMsg(heading);
    if (
      std::isnan(orientation.x) || std::isnan(orientation.y) || std::isnan(orientation.z) ||
      std::isnan(orientation.w)) {
      return false;
    }
    auto & pose = goal.poses[i];
    pose.header.frame_id = "map";
    pose.pose.position.x = point.x;
    pose.pose.position.y = point.y;
    pose.pose.position.z = point.z;
    pose.pose.orientation = orientation;
  }
  return true;
}

}  // namespace execute_engine
