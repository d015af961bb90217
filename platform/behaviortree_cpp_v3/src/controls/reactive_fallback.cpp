#include "behaviortree_cpp_v3/controls/reactive_fallback.h"

namespace BT
{
ReactiveFallback::ReactiveFallback(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveFallback");
}

NodeStatus ReactiveFallback::tick()
{
  for (size_t index = 0; index < childrenCount(); index++) {
    const NodeStatus child_status = children_nodes_[index]->executeTick();
    switch (child_status) {
      case NodeStatus::RUNNING:
        for (size_t later = index + 1; later < childrenCount(); later++) {
          haltChild(later);
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
