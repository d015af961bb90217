#include "behaviortree_cpp_v3/controls/reactive_fallback.h"

#include "ordered_children.h"

namespace BT
{
ReactiveFallback::ReactiveFallback(const std::string & name) : ControlNode(name, {})
{
  setRegistrationID("ReactiveFallback");
}

NodeStatus ReactiveFallback::tick() { return detail::tickReactively(*this, NodeStatus::SUCCESS); }

}  // namespace BT
