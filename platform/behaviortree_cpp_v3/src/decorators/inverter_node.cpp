#include "behaviortree_cpp_v3/decorators/inverter_node.h"

#include "mapped_child_status.h"

namespace BT
{
InverterNode::InverterNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("Inverter");
}

NodeStatus InverterNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  return detail::tickMapped(*child_node_, NodeStatus::FAILURE, NodeStatus::SUCCESS);
}

}  // namespace BT
