#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__IF_THEN_ELSE_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__IF_THEN_ELSE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Two or three children: a condition, a "then" branch and an optional "else" branch. The
/// condition is ticked until it finishes; SUCCESS selects the second child, FAILURE the third
/// (or, without a third child, returns FAILURE). The selected branch is then resumed at each tick,
/// without ticking the condition again, until it finishes; its result is returned and every child
/// is halted. Any other number of children raises std::logic_error at the tick.
class IfThenElseNode : public ControlNode
{
public:
  explicit IfThenElseNode(const std::string & name);

  /// Forgets the selected branch and halts the children.
  void halt() override;

private:
  NodeStatus tick() override;

  size_t child_idx_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__IF_THEN_ELSE_NODE_H_
