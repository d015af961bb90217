#include "behaviortree_cpp_v3/controls/reactive_fallback.h"

namespace BT
{
ReactiveFallback::ReactiveFallback(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveFallback");
}

NodeStatus ReactiveFallback::tick()
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
      case NodeStatus::SUCCESS:
        haltChildren();
        return NodeStatus::SUCCESS;
      case NodeStatus::FAILURE:
        break;
      case NodeStatus::IDLE:
        throw LogicError("A child node must never return IDLE");
    }
  }
  haltChildren();
  return NodeStatus::FAILURE;
}

}  // namespace BT
