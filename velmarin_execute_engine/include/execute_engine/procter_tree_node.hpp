// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__PROCTER_TREE_NODE_HPP_
#define EXECUTE_ENGINE__PROCTER_TREE_NODE_HPP_

#include <behaviortree_cpp_v3/action_node.h>

#include <memory>
#include <string>

#include "common_util/util.hpp"
#include "execute_engine/cmd_handler_table.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

// "Procter": the cleaning-device commands. Command 201 hands the request's device settings to
// the device controller ("bottom_operate"); commands 4 to 7 are accepted and only logged.
// Always returns FAILURE to the tree; the request's response follows the counters.
//
// The device service is called through a private node, "execute_engine_procter_node", that no
// executor holds: each call spins it on the thread that ticks the tree. A "Procter" made while
// another lives gets "execute_engine_procter_node_2" and so on (the deployment tree holds two).
class ProcterTreeNode : public BT::SyncActionNode
{
public:
  using RequestPtr = std::shared_ptr<velmarin_protocol::srv::RobotCommon::Request>;

  ProcterTreeNode(const std::string & name, const BT::NodeConfiguration & config);

  static BT::PortsList providedPorts() { return {}; }

  // Runs the handler of the engine's current command with the current request.
  BT::NodeStatus tick() override;

  // Commands 4, 5, 6 and 7: log and succeed; nothing is sent to the devices.
  bool Cancel(RequestPtr request);
  bool Pause(RequestPtr request);
  bool Done(RequestPtr request);
  bool Preempt(RequestPtr request);

  // Command 201: prints the device settings on standard output, sends the whole `devices`
  // block to "bottom_operate" (operation 0) and waits up to 1 s for the service and 30 s for
  // its answer. Succeeds when the controller answers with error code 0; a non-zero code is
  // handed to ExecuteEngine::SetErrorCode. Blocks the ticking thread for the whole call.
  bool ProcterWork(RequestPtr request);

private:
  CmdHandlerTable<RequestPtr> cmd_handlers_;
  std::shared_ptr<common_util::PrivateNode> procter_node_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__PROCTER_TREE_NODE_HPP_
