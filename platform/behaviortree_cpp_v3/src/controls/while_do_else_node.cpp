#include "behaviortree_cpp_v3/controls/while_do_else_node.h"

#include <stdexcept>

namespace BT
{
WhileDoElseNode::WhileDoElseNode(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("WhileDoElse");
}

NodeStatus WhileDoElseNode::tick()
{
  if (childrenCount() != 3) {
    throw std::logic_error("WhileDoElse must have 3 children");
  }
  setStatus(NodeStatus::RUNNING);

  // A running condition leaves both branches as they are, untouched.
  const NodeStatus condition_status = children_nodes_[0]->executeTick();
  if (condition_status == NodeStatus::RUNNING) {
    return NodeStatus::RUNNING;
  }
  NodeStatus branch_status = NodeStatus::IDLE;
  if (condition_status == NodeStatus::SUCCESS) {
    haltChild(2);
    branch_status = children_nodes_[1]->executeTick();
  } else if (condition_status == NodeStatus::FAILURE) {
    haltChild(1);
    branch_status = children_nodes_[2]->executeTick();
  }
  if (branch_status == NodeStatus::RUNNING) {
    return NodeStatus::RUNNING;
  }
  haltChildren();
  return branch_status;
}

}  // namespace BT
