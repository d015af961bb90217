// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/holding_gate.hpp"

#include <behaviortree_cpp_v3/exceptions.h>

namespace execute_engine
{

HoldingGate::HoldingGate(const std::string & name) : BT::ControlNode(name, {}) {}

BT::NodeStatus HoldingGate::tick()
{
  if (childrenCount() != 2) {
    throw BT::LogicError("HoldingGate must have 2 children: a gate and an action");
  }
  setStatus(BT::NodeStatus::RUNNING);
  BT::TreeNode * action = children_nodes_[1];
  if (children_nodes_[0]->executeTick() == BT::NodeStatus::SUCCESS) {
    const BT::NodeStatus status = action->executeTick();
    if (status != BT::NodeStatus::RUNNING) {
      haltChildren();
    }
    return status;
  }
  if (action->status() == BT::NodeStatus::RUNNING) {
    return BT::NodeStatus::RUNNING;
  }
  haltChildren();
  return BT::NodeStatus::FAILURE;
}

}  // namespace execute_engine
