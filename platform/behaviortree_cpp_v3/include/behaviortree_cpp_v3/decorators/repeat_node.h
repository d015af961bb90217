#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__REPEAT_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__REPEAT_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Ticks the child again each time it succeeds, within the same tick, until it has succeeded
/// `num_cycles` times: then SUCCESS. A child FAILURE ends it with FAILURE; a RUNNING child is
/// resumed at the next tick. -1 repeats without end. A missing "num_cycles" raises RuntimeError.
class RepeatNode : public DecoratorNode
{
public:
  RepeatNode(const std::string & name, int NTries);

  /// Reads "num_cycles" at every tick.
  RepeatNode(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

  /// Forgets the count and halts the child.
  void halt() override;

private:
  NodeStatus tick() override;

  int num_cycles_;
  int repeat_count_;
  bool read_parameter_from_ports_;
  static constexpr const char * NUM_CYCLES = "num_cycles";
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__REPEAT_NODE_H_
