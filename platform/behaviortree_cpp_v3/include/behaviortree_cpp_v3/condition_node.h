#ifndef BEHAVIORTREE_CPP_V3__CONDITION_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONDITION_NODE_H_

#include <functional>
#include <string>

#include "behaviortree_cpp_v3/leaf_node.h"

namespace BT
{
/// Base of the conditions: a check that returns SUCCESS or FAILURE within its tick.
class ConditionNode : public LeafNode
{
public:
  ConditionNode(const std::string & name, const NodeConfiguration & config);

  /// A condition has nothing to stop.
  void halt() final {}

  NodeType type() const final;
};

/// A condition whose tick is a function object, as registerSimpleCondition makes it.
class SimpleConditionNode : public ConditionNode
{
public:
  using TickFunctor = std::function<NodeStatus(TreeNode &)>;

  SimpleConditionNode(
    const std::string & name, TickFunctor tick_functor, const NodeConfiguration & config);

protected:
  NodeStatus tick() override;

  TickFunctor tick_functor_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONDITION_NODE_H_
