#include "behaviortree_cpp_v3/actions/always_success_node.h"

namespace BT
{
AlwaysSuccessNode::AlwaysSuccessNode(const std::string & name) : SyncActionNode(name, {})
{
  setRegistrationID("AlwaysSuccess");
}

NodeStatus AlwaysSuccessNode::tick() { return NodeStatus::SUCCESS; }

}  // namespace BT
