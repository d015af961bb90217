#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__KEEP_RUNNING_UNTIL_FAILURE_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__KEEP_RUNNING_UNTIL_FAILURE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Returns RUNNING while the child runs or succeeds (the child is ticked afresh at the next tick),
/// FAILURE when the child fails.
class KeepRunningUntilFailureNode : public DecoratorNode
{
public:
  explicit KeepRunningUntilFailureNode(const std::string & name) : DecoratorNode(name, {})
  {
    setRegistrationID("KeepRunningUntilFailure");
  }

private:
  NodeStatus tick() override
  {
    setStatus(NodeStatus::RUNNING);
    const NodeStatus child_status = child_node_->executeTick();
    if (StatusCompleted(child_status)) {
      haltChild();
    }
    return child_status == NodeStatus::FAILURE ? NodeStatus::FAILURE : NodeStatus::RUNNING;
  }
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__KEEP_RUNNING_UNTIL_FAILURE_NODE_H_
