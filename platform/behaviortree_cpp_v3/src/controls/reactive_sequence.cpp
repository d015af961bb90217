#include "behaviortree_cpp_v3/controls/reactive_sequence.h"

#include "ordered_children.h"

namespace BT
{
ReactiveSequence::ReactiveSequence(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveSequence");
}

NodeStatus ReactiveSequence::tick() { return detail::tickReactively(*this, NodeStatus::FAILURE); }

}  // namespace BT
