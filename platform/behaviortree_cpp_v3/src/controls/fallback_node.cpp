#include "behaviortree_cpp_v3/controls/fallback_node.h"

#include "child_loops.hpp"

namespace BT
{
FallbackNode::FallbackNode(const std::string & name) : ControlNode(name, {}), current_child_idx_(0)
{
  setRegistrationID("Fallback");
}

void FallbackNode::halt()
{
  current_child_idx_ = 0;
  ControlNode::halt();
}

NodeStatus FallbackNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  return child_loops::TickInOrder(
    children_nodes_, current_child_idx_, NodeStatus::FAILURE, [this] { haltChildren(); });
}

}  // namespace BT
