#include "behaviortree_cpp_v3/decorators/force_success_node.h"

#include "mapped_child_status.h"

namespace BT
{
ForceSuccessNode::ForceSuccessNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("ForceSuccess");
}

NodeStatus ForceSuccessNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  return detail::tickMapped(*child_node_, NodeStatus::SUCCESS, NodeStatus::SUCCESS);
}

}  // namespace BT
