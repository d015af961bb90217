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
//
// Each obstacle request is ticked once, and is a goal of its own: a tick for a request other
// than the one whose goal the node holds cancels that goal (waiting up to the action timeout
// for the answer) and sends the new request's goal, also while the earlier one runs. The tick
// waits for the goal response, so that its request's counters tell the outcome: a success for
// an accepted goal; a failure for a server not found or silent (FAILURE), and for a goal the
// server refuses (raised, which the engine counts). The goal held is cancelled by halt. A
// request ticked again follows its goal as the base does.
class SecurityTreeNode : public Ros2ActionNode<velmarin_protocol::action::Security>
{
public:
  SecurityTreeNode(
    const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params);
  ~SecurityTreeNode() override;

  // Runs the handler of the current command on `goal` and counts its result; a command without
  // a handler counts as a failure.
  bool fillGoal(Goal & goal) override;

  // Starts a new goal for a new obstacle request (see above), else as the base.
  BT::NodeStatus tick() override;

  // Counts a failure for a server not found or gone, a goal the server does not hold, and a
  // goal response that did not come (whose goal then counts once, as that failure, not as the
  // success its filling counted); a goal fillGoal refused is counted there. FAILURE.
  BT::NodeStatus onActionError(int32_t error_code) override;

  // True: a request is answered by its own goal's acceptance.
  bool awaitsGoalResponse() const override;

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
  // The request whose goal the node holds or last held.
  std::shared_ptr<const ExecuteEngine::Request> goal_request_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__SECURITY_TREE_NODE_HPP_
