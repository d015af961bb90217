#ifndef BEHAVIORTREE_CPP_V3__SRC__CONTROLS__CHILD_LOOPS_HPP_
#define BEHAVIORTREE_CPP_V3__SRC__CONTROLS__CHILD_LOOPS_HPP_

#include <cstddef>
#include <vector>

#include "behaviortree_cpp_v3/exceptions.h"
#include "behaviortree_cpp_v3/tree_node.h"

// The child loops that Sequence and Fallback, and their reactive forms, share: the two differ
// only in which child status lets the loop go on (SUCCESS for a sequence, FAILURE for a
// fallback).
namespace BT::child_loops
{
inline void RefuseIdle(NodeStatus status)
{
  if (status == NodeStatus::IDLE) {
    throw LogicError("A child node must never return IDLE");
  }
}

// Resumes at `current`; any status other than `go_on` (and RUNNING) ends the loop, halts every
// child and starts the next tick from the first child again.
template <class HaltAll>
NodeStatus TickInOrder(
  const std::vector<TreeNode *> & children, size_t & current, NodeStatus go_on, HaltAll halt_all)
{
  while (current < children.size()) {
    const NodeStatus status = children[current]->executeTick();
    RefuseIdle(status);
    if (status == NodeStatus::RUNNING) {
      return status;
    }
    if (status != go_on) {
      halt_all();
      current = 0;
      return status;
    }
    current++;
  }
  halt_all();
  current = 0;
  return go_on;
}

// Starts from the first child at every tick; a RUNNING child halts every other one.
template <class HaltOne, class HaltAll>
NodeStatus TickReactively(
  const std::vector<TreeNode *> & children, NodeStatus go_on, HaltOne halt_one, HaltAll halt_all)
{
  for (size_t index = 0; index < children.size(); index++) {
    const NodeStatus status = children[index]->executeTick();
    RefuseIdle(status);
    if (status == NodeStatus::RUNNING) {
      for (size_t other = 0; other < children.size(); other++) {
        if (other != index) {
          halt_one(other);
        }
      }
      return status;
    }
    if (status != go_on) {
      halt_all();
      return status;
    }
  }
  halt_all();
  return go_on;
}

}  // namespace BT::child_loops

#endif  // BEHAVIORTREE_CPP_V3__SRC__CONTROLS__CHILD_LOOPS_HPP_
