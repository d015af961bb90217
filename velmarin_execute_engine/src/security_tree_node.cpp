// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/security_tree_node.hpp"

#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"

namespace execute_engine
{

SecurityTreeNode::SecurityTreeNode(
  const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params)
: Ros2ActionNode(name, config, params),
  cmd_handlers_{
    {401, std::bind(&SecurityTreeNode::Stop, this, std::placeholders::_1)},
    {402, std::bind(&SecurityTreeNode::Moderate, this, std::placeholders::_1)},
    {403, std::bind(&SecurityTreeNode::Recovery, this, std::placeholders::_1)},
  }
{
}

SecurityTreeNode::~SecurityTreeNode() = default;

bool SecurityTreeNode::fillGoal(Goal & goal)
{
  const ExecuteEngine::Request * request = g_execute_engine->GetRequestPtr();
  StatusBlock * status = g_execute_engine->GetStatus();
  const auto handler = cmd_handlers_.find(request->command.cmd);
  if (handler == cmd_handlers_.end() || !handler->second(goal)) {
    ++status->failure_count;
    return false;
  }
  ++status->success_count;
  return true;
}

BT::NodeStatus SecurityTreeNode::tick()
{
  const auto request = g_execute_engine->GetRequest();
  if (request != goal_request_ && cmd_handlers_.count(request->command.cmd) != 0) {
    halt();
    setStatus(BT::NodeStatus::IDLE);
    goal_request_ = request;
  }
  return Ros2ActionNode::tick();
}

BT::NodeStatus SecurityTreeNode::onActionError(int32_t error_code)
{
  StatusBlock * status = g_execute_engine->GetStatus();
  // The goal that was not answered in time was counted a success when it was filled.
  if (error_code == kGoalResponseTimeout && status->success_count > 0) {
    --status->success_count;
  }
  if (error_code != kGoalRefused) {
    ++status->failure_count;
  }
  return BT::NodeStatus::FAILURE;
}

bool SecurityTreeNode::awaitsGoalResponse() const { return true; }

BT::NodeStatus SecurityTreeNode::onResultReceived(const WrappedResult & /*result*/)
{
  return BT::NodeStatus::SUCCESS;
}

BT::NodeStatus SecurityTreeNode::onFeedback(std::shared_ptr<const Feedback> /*feedback*/)
{
  return BT::NodeStatus::RUNNING;
}

bool SecurityTreeNode::Stop(Goal & goal)
{
  EE_LOG_DEBUG("obstacle begin to stop");
  goal.value = g_execute_engine->GetRequest()->security_value;
  return true;
}

bool SecurityTreeNode::Moderate(Goal & goal)
{
  EE_LOG_DEBUG("obstacle begin to moderate");
  goal.value = g_execute_engine->GetRequest()->security_value;
  return true;
}

bool SecurityTreeNode::Recovery(Goal & goal)
{
  EE_LOG_DEBUG("obstacle begin to recover");
  goal.value = g_execute_engine->GetRequest()->security_value;
  return true;
}

}  // namespace execute_engine
