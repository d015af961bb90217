#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__REPEAT_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__REPEAT_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Ticks the child again each time it succeeds, within the same tick, until it has succeeded
/// "num_cycles" times (read at every tick): then SUCCESS. A child FAILURE ends it with FAILURE; a
/// RUNNING child is resumed at the next tick. -1 repeats without end. A "num_cycles" that can
/// not be read raises RuntimeError.
class RepeatNode : public DecoratorNode
{
public:
  RepeatNode(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

  /// Forgets the count and halts the child.
  void halt() override;

private:
  NodeStatus tick() override;

  int num_cycles_;
  int repeat_count_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__REPEAT_NODE_H_
