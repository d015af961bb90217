#include "behaviortree_cpp_v3/actions/always_failure_node.h"

namespace BT
{
AlwaysFailureNode::AlwaysFailureNode(const std::string & name) : SyncActionNode(name, {})
{
  setRegistrationID("AlwaysFailure");
}

NodeStatus AlwaysFailureNode::tick() { return NodeStatus::FAILURE; }

}  // namespace BT
