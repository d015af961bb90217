// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__SECURITY_TREE_NODE_HPP_
#define EXECUTE_ENGINE__SECURITY_TREE_NODE_HPP_

#include <memory>
#include <string>

#include "execute_engine/cmd_handler_table.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "velmarin_protocol/action/security.hpp"

namespace execute_engine
{

// "SecurityNode": turns the obstacle commands 401 (stop), 402 (moderate) and 403 (recover) into
// Security goals carrying the request's security_value. Any other command is refused and
// counted as a failure. Once the goal's result is in, the node reports SUCCESS whatever the
// server decided; nothing is published.
class SecurityTreeNode : public Ros2ActionNode<velmarin_protocol::action::Security>
{
public:
  SecurityTreeNode(
    const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params);
  ~SecurityTreeNode() override;

  // Runs the handler of the current command on `goal` and counts its result; a command without
  // a handler counts as a failure.
  bool fillGoal(Goal & goal) override;

  // SUCCESS for every result.
  BT::NodeStatus onResultReceived(const WrappedResult & result) override;

  // Feedback never ends an obstacle goal.
  BT::NodeStatus onFeedback(std::shared_ptr<const Feedback> feedback) override;

  // Commands 401, 402 and 403: log and copy the request's security_value into the goal as is.
  bool Stop(Goal & goal);
  bool Moderate(Goal & goal);
  bool Recovery(Goal & goal);

private:
  CmdHandlerTable<Goal &> cmd_handlers_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__SECURITY_TREE_NODE_HPP_
