#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__FORCE_FAILURE_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__FORCE_FAILURE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Returns FAILURE when the child finishes, whatever its result; RUNNING while it runs.
class ForceFailureNode : public DecoratorNode
{
public:
  explicit ForceFailureNode(const std::string & name) : DecoratorNode(name, {})
  {
    setRegistrationID("ForceFailure");
  }

private:
  NodeStatus tick() override
  {
    setStatus(NodeStatus::RUNNING);
    const NodeStatus child_status = child_node_->executeTick();
    if (StatusCompleted(child_status)) {
      haltChild();
      return NodeStatus::FAILURE;
    }
    return child_status;
  }
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__FORCE_FAILURE_NODE_H_
