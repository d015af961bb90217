#include "behaviortree_cpp_v3/decorators/keep_running_until_failure_node.h"

#include "mapped_child_status.h"

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
  return detail::tickMapped(*child_node_, NodeStatus::RUNNING, NodeStatus::FAILURE);
}

}  // namespace BT
