#ifndef BEHAVIORTREE_CPP_V3__DECORATOR_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATOR_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/tree_node.h"

namespace BT
{
/// Base of the nodes with exactly one child. The child is owned by the tree.
class DecoratorNode : public TreeNode
{
public:
  DecoratorNode(const std::string & name, const NodeConfiguration & config);

  /// Throws BehaviorTreeException when the decorator has a child already.
  void setChild(TreeNode * child);

  const TreeNode * child() const;
  TreeNode * child();

  /// Halts the child; this node's own status is left to the caller.
  void halt() override;

  /// Halts the child if it is RUNNING and sets it back to IDLE.
  void haltChild();

  NodeType type() const override;

  /// Runs tick(); a child that has finished (SUCCESS or FAILURE) is then set back to IDLE.
  NodeStatus executeTick() override;

protected:
  TreeNode * child_node_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATOR_NODE_H_
