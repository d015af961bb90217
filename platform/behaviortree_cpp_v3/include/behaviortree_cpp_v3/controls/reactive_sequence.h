#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__REACTIVE_SEQUENCE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__REACTIVE_SEQUENCE_H_

#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Ticks the children from the first one at every tick. A RUNNING child ends the tick with
/// RUNNING and halts every other child, earlier and later ones; a FAILURE halts every child and
/// returns FAILURE;
/// SUCCESS once every child succeeded within one tick.
class ReactiveSequence : public ControlNode
{
public:
  explicit ReactiveSequence(const std::string & name);

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__REACTIVE_SEQUENCE_H_
