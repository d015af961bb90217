// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/init_tree_node.hpp"

#include <memory>

#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine/ros2_topic.hpp"

namespace execute_engine
{

namespace
{
constexpr SyncTickStatusRule kInitPosStatusRule{BT::NodeStatus::FAILURE, BT::NodeStatus::SUCCESS};
}  // namespace

InitTreeNode::InitTreeNode(const std::string & name, const BT::NodeConfiguration & config)
: BT::SyncActionNode(name, config),
  cmd_handlers_{
    {1, std::bind(&InitTreeNode::InitPos, this, std::placeholders::_1)},
  }
{
}

BT::NodeStatus InitTreeNode::tick()
{
  const ExecuteEngine::Request * request = g_execute_engine->GetRequestPtr();
  const velmarin_protocol::msg::InitialPose * pose = g_execute_engine->GetRequestData();
  return sync_command::RunHandler(
    cmd_handlers_, request->command.cmd, *pose, *g_execute_engine->GetStatus(), kInitPosStatusRule,
    EE_CALL_SITE);
}

bool InitTreeNode::InitPos(const velmarin_protocol::msg::InitialPose & pose)
{
  // A cast that checks: a node of another type would otherwise be used as the topic node.
  const auto topic = std::dynamic_pointer_cast<Ros2Topic>(g_execute_engine->GetNode());
  if (!topic) {
    EE_LOG_ERROR("InitPos needs the engine's node to be the topic node");
    return false;
  }
  return topic->PubInitLocation(pose);
}

}  // namespace execute_engine
