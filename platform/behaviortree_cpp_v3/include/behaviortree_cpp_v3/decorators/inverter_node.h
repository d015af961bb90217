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
  explicit InverterNode(const std::string & name);

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__INVERTER_NODE_H_
