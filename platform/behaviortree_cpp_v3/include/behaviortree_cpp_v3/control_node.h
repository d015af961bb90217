#ifndef BEHAVIORTREE_CPP_V3__CONTROL_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROL_NODE_H_

#include <string>
#include <vector>

#include "behaviortree_cpp_v3/tree_node.h"

namespace BT
{
/// Base of the nodes with one or more children. The children are owned by the tree.
class ControlNode : public TreeNode
{
public:
  ControlNode(const std::string & name, const NodeConfiguration & config);

  void addChild(TreeNode * child);

  size_t childrenCount() const;

  const std::vector<TreeNode *> & children() const;

  /// Halts every child; this node's own status is left to the caller.
  void halt() override;

  /// Halts each child that is RUNNING and sets every child back to IDLE.
  void haltChildren();

  /// Halts the child `i` if it is RUNNING and sets it back to IDLE.
  void haltChild(size_t i);

  NodeType type() const final;

protected:
  std::vector<TreeNode *> children_nodes_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROL_NODE_H_
