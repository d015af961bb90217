#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__FALLBACK_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__FALLBACK_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Ticks the children in order while they fail. A RUNNING child is resumed at the next tick
/// without ticking the earlier children again. The first SUCCESS halts every child and returns
/// SUCCESS; FAILURE once every child failed. Either way the next tick starts from the first child.
class FallbackNode : public ControlNode
{
public:
  explicit FallbackNode(const std::string & name);

  /// Forgets the resume point and halts the children.
  void halt() override;

private:
  NodeStatus tick() override;

  size_t current_child_idx_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__FALLBACK_NODE_H_
