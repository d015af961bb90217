#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__BLACKBOARD_PRECONDITION_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__BLACKBOARD_PRECONDITION_H_

#include <string>
#include <type_traits>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Ticks the child while "value_A" equals "value_B", both read as T, and returns its result.
/// Otherwise a RUNNING child is halted and "return_on_mismatch" is returned (FAILURE when the
/// port is not given). Registered as BlackboardCheckInt.
template <typename T>
class BlackboardPreconditionNode : public DecoratorNode
{
public:
  BlackboardPreconditionNode(const std::string & name, const NodeConfiguration & config)
  : DecoratorNode(name, config)
  {
    if (std::is_same_v<T, int>) {
      setRegistrationID("BlackboardCheckInt");
    }
  }

  static PortsList providedPorts()
  {
    return {
      InputPort("value_A"), InputPort("value_B"), InputPort<NodeStatus>("return_on_mismatch")};
  }

private:
  NodeStatus tick() override
  {
    T value_a{};
    T value_b{};
    setStatus(NodeStatus::RUNNING);
    if (getInput("value_A", value_a) && getInput("value_B", value_b) && value_a == value_b) {
      return child_node_->executeTick();
    }
    if (child_node_->status() == NodeStatus::RUNNING) {
      haltChild();
    }
    NodeStatus mismatch_status = NodeStatus::FAILURE;
    getInput("return_on_mismatch", mismatch_status);
    return mismatch_status;
  }
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__BLACKBOARD_PRECONDITION_H_
