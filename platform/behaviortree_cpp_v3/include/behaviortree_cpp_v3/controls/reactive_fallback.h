#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__REACTIVE_FALLBACK_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__REACTIVE_FALLBACK_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Ticks the children from the first one at every tick. A RUNNING child ends the tick with
/// RUNNING and halts every other child, earlier and later ones; a SUCCESS halts every child and
/// returns SUCCESS;
/// FAILURE once every child failed within one tick.
class ReactiveFallback : public ControlNode
{
public:
  explicit ReactiveFallback(const std::string & name);

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__REACTIVE_FALLBACK_H_
