#include "behaviortree_cpp_v3/decorators/inverter_node.h"

namespace BT
{
InverterNode::InverterNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("Inverter");
}

NodeStatus InverterNode::tick()
{
  setStatus(NodeStatus::RUNNING);
  switch (child_node_->executeTick()) {
    case NodeStatus::SUCCESS:
      return NodeStatus::FAILURE;
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
