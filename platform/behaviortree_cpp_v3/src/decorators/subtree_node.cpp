#include "behaviortree_cpp_v3/decorators/subtree_node.h"

namespace BT
{
SubtreeNode::SubtreeNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("SubTree");
}

PortsList SubtreeNode::providedPorts()
{
  return {InputPort<bool>(
    "__shared_blackboard", false,
    "If false (default) the subtree has its own blackboard and you need to do port remapping to "
    "connect it to the parent")};
}

NodeType SubtreeNode::type() const { return NodeType::SUBTREE; }

NodeStatus SubtreeNode::tick()
{
  if (status() == NodeStatus::IDLE) {
    setStatus(NodeStatus::RUNNING);
  }
  return child_node_->executeTick();
}

SubtreePlusNode::SubtreePlusNode(const std::string & name) : DecoratorNode(name, {})
{
  setRegistrationID("SubTreePlus");
}

PortsList SubtreePlusNode::providedPorts()
{
  return {InputPort<bool>(
    "__autoremap", false, "If true, all the ports with the same name will be remapped")};
}

NodeType SubtreePlusNode::type() const { return NodeType::SUBTREE; }

NodeStatus SubtreePlusNode::tick()
{
  if (status() == NodeStatus::IDLE) {
    setStatus(NodeStatus::RUNNING);
  }
  return child_node_->executeTick();
}

}  // namespace BT
