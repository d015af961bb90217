#include "behaviortree_cpp_v3/controls/reactive_sequence.h"

namespace BT
{
ReactiveSequence::ReactiveSequence(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveSequence");
}

NodeStatus ReactiveSequence::tick()
{
  for (size_t index = 0; index < childrenCount(); index++) {
    const NodeStatus child_status = children_nodes_[index]->executeTick();
    switch (child_status) {
      case NodeStatus::RUNNING:
        for (size_t later = index + 1; later < childrenCount(); later++) {
          haltChild(later);
        }
        return NodeStatus::RUNNING;
      case NodeStatus::FAILURE:
        haltChildren();
        return NodeStatus::FAILURE;
      case NodeStatus::SUCCESS:
        break;
      case NodeStatus::IDLE:
        throw LogicError("A child node must never return IDLE");
    }
  }
  haltChildren();
  return NodeStatus::SUCCESS;
}

}  // namespace BT
