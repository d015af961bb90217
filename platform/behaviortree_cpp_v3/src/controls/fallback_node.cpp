#include "behaviortree_cpp_v3/controls/fallback_node.h"

#include "ordered_children.h"

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
  return detail::tickInOrder(
    *this, current_child_idx_, NodeStatus::SUCCESS, detail::OnDecisive::kRestart);
}

}  // namespace BT
