#include "behaviortree_cpp_v3/controls/reactive_sequence.h"

#include "child_loops.hpp"

namespace BT
{
ReactiveSequence::ReactiveSequence(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveSequence");
}

NodeStatus ReactiveSequence::tick()
{
  setStatus(NodeStatus::RUNNING);
  return child_loops::TickReactively(
    children_nodes_, NodeStatus::SUCCESS, [this](size_t index) { haltChild(index); },
    [this] { haltChildren(); });
}

}  // namespace BT
