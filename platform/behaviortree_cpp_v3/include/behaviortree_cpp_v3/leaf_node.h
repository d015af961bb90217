#ifndef BEHAVIORTREE_CPP_V3__LEAF_NODE_H_
#define BEHAVIORTREE_CPP_V3__LEAF_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/tree_node.h"

namespace BT
{
/// A node without children: an action or a condition.
class LeafNode : public TreeNode
{
public:
  LeafNode(const std::string & name, const NodeConfiguration & config) : TreeNode(name, config) {}
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__LEAF_NODE_H_
