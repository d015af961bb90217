#include "behaviortree_cpp_v3/action_node.h"

namespace BT
{
ActionNodeBase::ActionNodeBase(const std::string & name, const NodeConfiguration & config)
: LeafNode(name, config)
{
}

NodeType ActionNodeBase::type() const { return NodeType::ACTION; }

SyncActionNode::SyncActionNode(const std::string & name, const NodeConfiguration & config)
: ActionNodeBase(name, config)
{
}

NodeStatus SyncActionNode::executeTick()
{
  const NodeStatus status = ActionNodeBase::executeTick();
  if (status == NodeStatus::RUNNING) {
    throw LogicError("SyncActionNode MUST never return RUNNING");
  }
  return status;
}

}  // namespace BT
