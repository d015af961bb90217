#include "behaviortree_cpp_v3/decorators/force_failure_node.h"

#include "mapped_child_status.h"

namespace BT
{
ForceFailureNode::ForceFailureNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("ForceFailure");
}

NodeStatus ForceFailureNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  return detail::tickMapped(*child_node_, NodeStatus::FAILURE, NodeStatus::FAILURE);
}

}  // namespace BT
