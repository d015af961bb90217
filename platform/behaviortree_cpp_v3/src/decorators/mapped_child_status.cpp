#include "mapped_child_status.h"

#include "behaviortree_cpp_v3/exceptions.h"

namespace BT
{
namespace detail
{
NodeStatus tickMapped(TreeNode & child, NodeStatus on_success, NodeStatus on_failure)
{
  switch (child.executeTick()) {
    case NodeStatus::SUCCESS:
      return on_success;
    case NodeStatus::FAILURE:
      return on_failure;
    case NodeStatus::RUNNING:
      return NodeStatus::RUNNING;
    case NodeStatus::IDLE:
      break;
  }
  throw LogicError("A child node must never return IDLE");
}

}  // namespace detail
}  // namespace BT
