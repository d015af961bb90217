#ifndef BEHAVIORTREE_CPP_V3__ACTIONS__ALWAYS_FAILURE_NODE_H_
#define BEHAVIORTREE_CPP_V3__ACTIONS__ALWAYS_FAILURE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/action_node.h"

namespace BT
{
/// Returns FAILURE.
class AlwaysFailureNode : public SyncActionNode
{
public:
  explicit AlwaysFailureNode(const std::string & name) : SyncActionNode(name, {})
  {
    setRegistrationID("AlwaysFailure");
  }

private:
  NodeStatus tick() override { return NodeStatus::FAILURE; }
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__ACTIONS__ALWAYS_FAILURE_NODE_H_
