#include "ordered_children.h"

#include "behaviortree_cpp_v3/exceptions.h"

namespace BT
{
namespace detail
{
namespace
{
NodeStatus Opposite(NodeStatus decisive)
{
  return decisive == NodeStatus::SUCCESS ? NodeStatus::FAILURE : NodeStatus::SUCCESS;
}

void RejectIdle(NodeStatus child_status)
{
  if (child_status == NodeStatus::IDLE) {
    throw LogicError("A child node must never return IDLE");
  }
}
}  // namespace

NodeStatus tickInOrder(
  ControlNode & node, size_t & index, NodeStatus decisive, OnDecisive on_decisive)
{
  while (index < node.childrenCount()) {
    const NodeStatus child_status = node.children()[index]->executeTick();
    RejectIdle(child_status);
    if (child_status == NodeStatus::RUNNING) {
      return NodeStatus::RUNNING;
    }
    if (child_status == decisive) {
      if (on_decisive == OnDecisive::kKeepPlace) {
        for (size_t i = index; i < node.childrenCount(); i++) {
          node.haltChild(i);
        }
      } else {
        node.haltChildren();
        index = 0;
      }
      return decisive;
    }
    index++;
  }
  node.haltChildren();
  index = 0;
  return Opposite(decisive);
}

NodeStatus tickReactively(ControlNode & node, NodeStatus decisive)
{
  for (size_t index = 0; index < node.childrenCount(); index++) {
    const NodeStatus child_status = node.children()[index]->executeTick();
    RejectIdle(child_status);
    if (child_status == NodeStatus::RUNNING) {
      for (size_t later = index + 1; later < node.childrenCount(); later++) {
        node.haltChild(later);
      }
      return NodeStatus::RUNNING;
    }
    if (child_status == decisive) {
      node.haltChildren();
      return decisive;
    }
  }
  node.haltChildren();
  return Opposite(decisive);
}

}  // namespace detail
}  // namespace BT
