#include "behaviortree_cpp_v3/decorators/force_success_node.h"

namespace BT
{
ForceSuccessNode::ForceSuccessNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("ForceSuccess");
}

NodeStatus ForceSuccessNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  switch (child_node_->executeTick()) {
    case NodeStatus::SUCCESS:
    case NodeStatus::FAILURE:
      return NodeStatus::SUCCESS;
    case NodeStatus::RUNNING:
      return NodeStatus::RUNNING;
    case NodeStatus::IDLE:
      break;
  }
  throw LogicError("A child node must never return IDLE");
}

}  // namespace BT
