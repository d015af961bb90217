#include "behaviortree_cpp_v3/controls/sequence_node.h"

#include "ordered_children.h"

namespace BT
{
SequenceNode::SequenceNode(const std::string & name) : ControlNode(name, {}), current_child_idx_(0)
{
  setRegistrationID("Sequence");
}

void SequenceNode::halt()
{
  current_child_idx_ = 0;
  ControlNode::halt();
}

NodeStatus SequenceNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  return detail::tickInOrder(
    *this, current_child_idx_, NodeStatus::FAILURE, detail::OnDecisive::kRestart);
}

}  // namespace BT
