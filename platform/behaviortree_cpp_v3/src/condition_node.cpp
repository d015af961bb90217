#include "behaviortree_cpp_v3/condition_node.h"

namespace BT
{
ConditionNode::ConditionNode(const std::string & name, const NodeConfiguration & config)
: LeafNode(name, config)
{
}

NodeType ConditionNode::type() const { return NodeType::CONDITION; }

SimpleConditionNode::SimpleConditionNode(
  const std::string & name, TickFunctor tick_functor, const NodeConfiguration & config)
: ConditionNode(name, config), tick_functor_(std::move(tick_functor))
{
}

NodeStatus SimpleConditionNode::tick() { return tick_functor_(*this); }

}  // namespace BT
