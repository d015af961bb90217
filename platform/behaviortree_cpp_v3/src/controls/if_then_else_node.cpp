#include "behaviortree_cpp_v3/controls/if_then_else_node.h"

#include <stdexcept>

namespace BT
{
IfThenElseNode::IfThenElseNode(const std::string & name) : ControlNode(name, {}), child_idx_(0)
{
  setRegistrationID("IfThenElse");
}

void IfThenElseNode::halt()
{
  child_idx_ = 0;
  ControlNode::halt();
}

NodeStatus IfThenElseNode::tick()
{
  const size_t children_count = childrenCount();
  if (children_count != 2 && children_count != 3) {
    throw std::logic_error("IfThenElseNode must have either 2 or 3 children");
  }
  setStatus(NodeStatus::RUNNING);

  if (child_idx_ == 0) {
    const NodeStatus condition_status = children_nodes_[0]->executeTick();
    switch (condition_status) {
      case NodeStatus::RUNNING:
        return NodeStatus::RUNNING;
      case NodeStatus::SUCCESS:
        child_idx_ = 1;
        break;
      case NodeStatus::FAILURE:
        if (children_count != 3) {
          return NodeStatus::FAILURE;
        }
        child_idx_ = 2;
        break;
      case NodeStatus::IDLE:
        throw LogicError("A child node must never return IDLE");
    }
  }

  const NodeStatus branch_status = children_nodes_[child_idx_]->executeTick();
  if (branch_status == NodeStatus::RUNNING) {
    return NodeStatus::RUNNING;
  }
  haltChildren();
  child_idx_ = 0;
  return branch_status;
}

}  // namespace BT
