// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__INIT_TREE_NODE_HPP_
#define EXECUTE_ENGINE__INIT_TREE_NODE_HPP_

#include <behaviortree_cpp_v3/action_node.h>

#include <string>

#include "execute_engine/cmd_handler_table.hpp"
#include "velmarin_protocol/msg/initial_pose.hpp"

namespace execute_engine
{

// "InitPos": sets the robot's initial pose (command 1) by having the engine's topic node load
// the request's map and publish the pose with it. Returns FAILURE to the tree after a command
// that succeeded and SUCCESS after one that failed; the request's response follows the
// counters, not this status.
class InitTreeNode : public BT::SyncActionNode
{
public:
  InitTreeNode(const std::string & name, const BT::NodeConfiguration & config);

  static BT::PortsList providedPorts() { return {}; }

  // Runs the handler of the engine's current command with the request's initial pose.
  BT::NodeStatus tick() override;

  // Command 1: hands `pose` to the topic node (Ros2Topic::PubInitLocation); succeeds when the
  // pose was published. Fails, with an error line, when the engine's node is not the topic
  // node.
  bool InitPos(const velmarin_protocol::msg::InitialPose & pose);

private:
  CmdHandlerTable<const velmarin_protocol::msg::InitialPose &> cmd_handlers_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__INIT_TREE_NODE_HPP_
