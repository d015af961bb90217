#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__TIMEOUT_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__TIMEOUT_NODE_H_

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"
#include "behaviortree_cpp_v3/utils/callback_timer.h"

namespace BT
{
/// Ticks the child and returns its result, but when the child is still RUNNING "msec"
/// milliseconds after the first tick, the child is halted at that moment, from a timer thread,
/// and the next tick returns FAILURE. A value of 0 never times out. A missing "msec" raises
/// RuntimeError.
class TimeoutNode : public DecoratorNode
{
public:
  TimeoutNode(const std::string & name, unsigned milliseconds);

  /// Reads "msec" at every tick.
  TimeoutNode(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

  /// Stops the timer and halts the child.
  void halt() override;

private:
  NodeStatus tick() override;

  void onTimeout();

  std::atomic<bool> child_halted_;
  uint64_t timer_id_;
  unsigned msec_;
  bool read_parameter_from_ports_;
  bool timeout_started_;
  std::mutex timeout_mutex_;
  // Last, so that it is destroyed (and its callbacks stopped) before the members they use.
  CallbackTimer timer_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__TIMEOUT_NODE_H_
