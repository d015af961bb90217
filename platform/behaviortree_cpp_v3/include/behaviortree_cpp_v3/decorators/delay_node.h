#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__DELAY_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__DELAY_NODE_H_

#include <mutex>
#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"
#include "behaviortree_cpp_v3/utils/callback_timer.h"

namespace BT
{
/// Returns RUNNING, without ticking the child, until "delay_msec" milliseconds have passed since
/// its first tick; from then on it ticks the child and returns its result. The delay starts over
/// once the child has finished or the node is halted. A missing "delay_msec" raises RuntimeError.
class DelayNode : public DecoratorNode
{
public:
  DelayNode(const std::string & name, unsigned milliseconds);

  /// Reads "delay_msec" at every tick.
  DelayNode(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

  /// Stops the timer and halts the child.
  void halt() override;

private:
  NodeStatus tick() override;

  bool delay_started_;
  bool delay_complete_;
  unsigned msec_;
  bool read_parameter_from_ports_;
  std::mutex delay_mutex_;
  // Last, so that it is destroyed (and its callbacks stopped) before the members they use.
  CallbackTimer timer_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__DELAY_NODE_H_
