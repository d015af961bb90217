// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__HOLDING_GATE_HPP_
#define EXECUTE_ENGINE__HOLDING_GATE_HPP_

#include <behaviortree_cpp_v3/control_node.h>

#include <string>

namespace execute_engine
{

// "HoldingGate": a gate (a condition, first child) before an action (second child), like a
// reactive sequence of the two, except that a gate that fails while the action runs does not
// end the action: the action is held, neither ticked nor halted, and the gate returns RUNNING.
// While the gate passes, the action is ticked and its status returned; with the gate failing
// and no action running, FAILURE. Only a halt of this node, or of the action itself, ends a
// held action. Raises BT::LogicError at a tick when it has not exactly two children.
class HoldingGate : public BT::ControlNode
{
public:
  explicit HoldingGate(const std::string & name);

private:
  BT::NodeStatus tick() override;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__HOLDING_GATE_HPP_
