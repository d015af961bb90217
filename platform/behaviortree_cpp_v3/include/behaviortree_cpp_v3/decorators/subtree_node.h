#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__SUBTREE_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__SUBTREE_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Root of a tree included with <SubTree ID="..."/>: returns its child's result. The subtree has
/// a blackboard of its own whose keys are remapped to the parent's by the element's attributes
/// (name="parent_key"), or shares the parent's when __shared_blackboard is true. Its instance
/// name is the ID of the included tree.
class SubtreeNode : public DecoratorNode
{
public:
  explicit SubtreeNode(const std::string & name);

  static PortsList providedPorts();

  NodeType type() const final;

private:
  NodeStatus tick() override;
};

/// Root of a tree included with <SubTreePlus ID="..."/>: returns its child's result. Its
/// attributes set the subtree's blackboard: port="{parent_key}" remaps, any other text is written
/// as a string; __autoremap="true" also remaps every other key the subtree's ports name to the
/// parent's entry of the same name.
class SubtreePlusNode : public DecoratorNode
{
public:
  explicit SubtreePlusNode(const std::string & name);

  static PortsList providedPorts();

  NodeType type() const final;

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__SUBTREE_NODE_H_
