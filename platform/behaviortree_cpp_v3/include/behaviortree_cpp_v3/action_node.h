#ifndef BEHAVIORTREE_CPP_V3__ACTION_NODE_H_
#define BEHAVIORTREE_CPP_V3__ACTION_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/leaf_node.h"

namespace BT
{
/// Base of the actions. A derived class supplies tick() and halt(); an action that returns
/// RUNNING is ticked again until it returns SUCCESS or FAILURE, or is halted.
class ActionNodeBase : public LeafNode
{
public:
  ActionNodeBase(const std::string & name, const NodeConfiguration & config);

  NodeType type() const final;
};

/// An action that finishes within its tick: returning RUNNING raises LogicError.
class SyncActionNode : public ActionNodeBase
{
public:
  SyncActionNode(const std::string & name, const NodeConfiguration & config);

  NodeStatus executeTick() override;

  /// A synchronous action has nothing to stop.
  void halt() final {}
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__ACTION_NODE_H_
