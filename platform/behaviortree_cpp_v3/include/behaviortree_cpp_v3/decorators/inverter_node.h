#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__INVERTER_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__INVERTER_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Returns FAILURE for a child SUCCESS, SUCCESS for a child FAILURE, RUNNING while it runs.
class InverterNode : public DecoratorNode
{
public:
  explicit InverterNode(const std::string & name) : DecoratorNode(name, {})
  {
    setRegistrationID("Inverter");
  }

private:
  NodeStatus tick() override
  {
    setStatus(NodeStatus::RUNNING);
    switch (child_node_->executeTick()) {
      case NodeStatus::SUCCESS:
        haltChild();
        return NodeStatus::FAILURE;
      case NodeStatus::FAILURE:
        haltChild();
        return NodeStatus::SUCCESS;
      case NodeStatus::RUNNING:
        return NodeStatus::RUNNING;
      case NodeStatus::IDLE:
        break;
    }
    throw LogicError("A child node must never return IDLE");
  }
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__INVERTER_NODE_H_
