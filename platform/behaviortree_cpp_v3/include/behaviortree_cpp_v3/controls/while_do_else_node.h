#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__WHILE_DO_ELSE_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__WHILE_DO_ELSE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Three children: a condition, a "do" branch and an "else" branch. The condition is ticked at
/// every tick; SUCCESS halts the "else" branch and ticks the "do" branch, FAILURE halts the "do"
/// branch and ticks the "else" branch. A branch that finishes ends the node with its result and
/// every child is halted. Any other number of children raises std::logic_error at the tick.
class WhileDoElseNode : public ControlNode
{
public:
  explicit WhileDoElseNode(const std::string & name);

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__WHILE_DO_ELSE_NODE_H_
