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

  const NodeStatus condition_status = children_nodes_[0]->executeTick();
  NodeStatus branch_status = NodeStatus::IDLE;
  switch (condition_status) {
    case NodeStatus::RUNNING:
      return NodeStatus::RUNNING;
    case NodeStatus::SUCCESS:
      haltChild(2);
      branch_status = children_nodes_[1]->executeTick();
      break;
    case NodeStatus::FAILURE:
      haltChild(1);
      branch_status = children_nodes_[2]->executeTick();
      break;
    case NodeStatus::IDLE:
      throw LogicError("A child node must never return IDLE");
  }
  if (branch_status == NodeStatus::RUNNING) {
    return NodeStatus::RUNNING;
  }
  haltChildren();
  return branch_status;
}

}  // namespace BT
