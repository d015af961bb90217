#include "behaviortree_cpp_v3/controls/sequence_star_node.h"

#include "ordered_children.h"

namespace BT
{
SequenceStarNode::SequenceStarNode(const std::string & name)
: ControlNode(name, {}), current_child_idx_(0)
{
  setRegistrationID("SequenceStar");
}

void SequenceStarNode::halt()
{
  current_child_idx_ = 0;
  ControlNode::halt();
}

NodeStatus SequenceStarNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  return detail::tickInOrder(
    *this, current_child_idx_, NodeStatus::FAILURE, detail::OnDecisive::kKeepPlace);
}

}  // namespace BT
