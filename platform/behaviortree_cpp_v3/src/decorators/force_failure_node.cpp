#include "behaviortree_cpp_v3/decorators/force_failure_node.h"

namespace BT
{
ForceFailureNode::ForceFailureNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("ForceFailure");
}

NodeStatus ForceFailureNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  switch (child_node_->executeTick()) {
    case NodeStatus::SUCCESS:
    case NodeStatus::FAILURE:
      return NodeStatus::FAILURE;
    case NodeStatus::RUNNING:
      return NodeStatus::RUNNING;
    case NodeStatus::IDLE:
      break;
  }
  throw LogicError("A child node must never return IDLE");
}

}  // namespace BT
