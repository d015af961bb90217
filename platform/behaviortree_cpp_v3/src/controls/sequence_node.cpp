#include "behaviortree_cpp_v3/controls/sequence_node.h"

#include "child_loops.hpp"

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
  return child_loops::TickInOrder(
    children_nodes_, current_child_idx_, NodeStatus::SUCCESS, [this] { haltChildren(); });
}

}  // namespace BT
