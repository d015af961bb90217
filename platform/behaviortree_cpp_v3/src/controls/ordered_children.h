#ifndef BEHAVIORTREE_CPP_V3__SRC__CONTROLS__ORDERED_CHILDREN_H_
#define BEHAVIORTREE_CPP_V3__SRC__CONTROLS__ORDERED_CHILDREN_H_

#include <cstddef>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
namespace detail
{
/// What a sequence-like node does when a child returns its decisive status.
enum class OnDecisive
{
  kRestart,    ///< halt every child; the next tick starts from the first child
  kKeepPlace,  ///< halt the children from the decisive one on; the next tick resumes there
};

/// The memory-keeping tick shared by Sequence, SequenceStar and Fallback, which set themselves
/// RUNNING before calling it: ticks the children of `node` from `index` on. RUNNING is
/// returned at once with `index` on that child. The
/// `decisive` status (FAILURE for the sequences, SUCCESS for Fallback) is returned at once as
/// `on_decisive` says. When every remaining child returned the other status, the children are
/// halted, `index` goes back to 0 and that status is returned.
NodeStatus tickInOrder(
  ControlNode & node, size_t & index, NodeStatus decisive, OnDecisive on_decisive);

/// The tick shared by ReactiveSequence and ReactiveFallback: ticks every child from the first
/// on. RUNNING halts the later children and is returned; the `decisive` status halts every
/// child and is returned; when every child returned the other status, the children are halted
/// and that status is returned.
NodeStatus tickReactively(ControlNode & node, NodeStatus decisive);

}  // namespace detail
}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__SRC__CONTROLS__ORDERED_CHILDREN_H_
