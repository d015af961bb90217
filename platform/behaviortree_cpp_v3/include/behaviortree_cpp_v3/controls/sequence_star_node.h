#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__SEQUENCE_STAR_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__SEQUENCE_STAR_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Like SequenceNode, except that a FAILURE keeps the resume point: the failed child and those
/// after it are set back to IDLE, and the next tick starts again at the failed child. Only
/// success of every child or halt() start it over from the first child.
class SequenceStarNode : public ControlNode
{
public:
  explicit SequenceStarNode(const std::string & name);

  /// Forgets the resume point and halts the children.
  void halt() override;

private:
  NodeStatus tick() override;

  size_t current_child_idx_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__SEQUENCE_STAR_NODE_H_
