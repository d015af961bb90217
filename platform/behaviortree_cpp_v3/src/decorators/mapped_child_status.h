#ifndef BEHAVIORTREE_CPP_V3__SRC__DECORATORS__MAPPED_CHILD_STATUS_H_
#define BEHAVIORTREE_CPP_V3__SRC__DECORATORS__MAPPED_CHILD_STATUS_H_

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/tree_node.h"

namespace BT
{
namespace detail
{
/// The tick shared by the decorators that only translate their child's result (Inverter,
/// ForceSuccess, ForceFailure, KeepRunningUntilFailure): ticks `child` and returns
/// `on_success` or `on_failure` for its result, RUNNING while it runs. A child returning IDLE
/// raises LogicError.
NodeStatus tickMapped(TreeNode & child, NodeStatus on_success, NodeStatus on_failure);

}  // namespace detail
}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__SRC__DECORATORS__MAPPED_CHILD_STATUS_H_
