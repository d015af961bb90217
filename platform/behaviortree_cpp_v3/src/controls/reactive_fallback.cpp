#include "behaviortree_cpp_v3/controls/reactive_fallback.h"

#include "child_loops.hpp"

namespace BT
{
ReactiveFallback::ReactiveFallback(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveFallback");
}

NodeStatus ReactiveFallback::tick()
{
  setStatus(NodeStatus::RUNNING);
  return child_loops::TickReactively(
    children_nodes_, NodeStatus::FAILURE, [this](size_t index) { haltChild(index); },
    [this] { haltChildren(); });
}

}  // namespace BT
