#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
DecoratorNode::DecoratorNode(const std::string & name, const NodeConfiguration & config)
: TreeNode(name, config), child_node_(nullptr)
{
}

void DecoratorNode::setChild(TreeNode * child)
{
  if (child_node_ != nullptr) {
    throw BehaviorTreeException("Decorator [", name(), "] has already a child assigned");
  }
  child_node_ = child;
}

const TreeNode * DecoratorNode::child() const { return child_node_; }

TreeNode * DecoratorNode::child() { return child_node_; }

void DecoratorNode::halt() { haltChild(); }

void DecoratorNode::haltChild()
{
  if (child_node_ == nullptr) {
    return;
  }
  if (child_node_->status() == NodeStatus::RUNNING) {
    child_node_->halt();
  }
  child_node_->resetStatus();
}

NodeType DecoratorNode::type() const { return NodeType::DECORATOR; }

NodeStatus DecoratorNode::executeTick()
{
  const NodeStatus status = TreeNode::executeTick();
  const NodeStatus child_status = child_node_->status();
  if (StatusCompleted(child_status)) {
    child_node_->resetStatus();
  }
  return status;
}

}  // namespace BT
