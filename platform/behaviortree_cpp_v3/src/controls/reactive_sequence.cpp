#include "behaviortree_cpp_v3/controls/reactive_sequence.h"

namespace BT
{
ReactiveSequence::ReactiveSequence(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveSequence");
}

NodeStatus ReactiveSequence::tick()
{
  setStatus(NodeStatus::RUNNING);
  for (size_t index = 0; index < children_nodes_.size(); index++) {
    switch (children_nodes_[index]->executeTick()) {
      case NodeStatus::RUNNING:
        for (size_t other = 0; other < children_nodes_.size(); other++) {
          if (other != index) {
            haltChild(other);
          }
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
