#include "behaviortree_cpp_v3/decorators/keep_running_until_failure_node.h"

namespace BT
{
KeepRunningUntilFailureNode::KeepRunningUntilFailureNode(const std::string & name)
: DecoratorNode(name, {})
{
  setRegistrationID("KeepRunningUntilFailure");
}

NodeStatus KeepRunningUntilFailureNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  switch (child_node_->executeTick()) {
    case NodeStatus::FAILURE:
      return NodeStatus::FAILURE;
    case NodeStatus::SUCCESS:
    case NodeStatus::RUNNING:
      return NodeStatus::RUNNING;
    case NodeStatus::IDLE:
      break;
  }
  throw LogicError("A child node must never return IDLE");
}

}  // namespace BT
