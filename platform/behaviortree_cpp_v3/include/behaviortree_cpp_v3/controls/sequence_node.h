#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__SEQUENCE_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__SEQUENCE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Ticks the children in order while they succeed. A RUNNING child is resumed at the next tick
/// without ticking the earlier children again. The first FAILURE halts every child and returns
/// FAILURE; the next tick starts again from the first child. SUCCESS once every child succeeded.
class SequenceNode : public ControlNode
{
public:
  explicit SequenceNode(const std::string & name);

  /// Forgets the resume point and halts the children.
  void halt() override;

private:
  NodeStatus tick() override;

  size_t current_child_idx_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__SEQUENCE_NODE_H_
