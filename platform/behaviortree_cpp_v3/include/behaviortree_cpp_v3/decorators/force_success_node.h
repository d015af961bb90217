#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__FORCE_SUCCESS_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__FORCE_SUCCESS_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Returns SUCCESS when the child finishes, whatever its result; RUNNING while it runs.
class ForceSuccessNode : public DecoratorNode
{
public:
  explicit ForceSuccessNode(const std::string & name);

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__FORCE_SUCCESS_NODE_H_
