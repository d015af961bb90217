#include "behaviortree_cpp_v3/decorators/delay_node.h"

namespace BT
{
DelayNode::DelayNode(const std::string & name, unsigned milliseconds)
: DecoratorNode(name, {}),
  delay_started_(false),
  delay_complete_(false),
  msec_(milliseconds),
  read_parameter_from_ports_(false)
{
  setRegistrationID("Delay");
}

DelayNode::DelayNode(const std::string & name, const NodeConfiguration & config)
: DecoratorNode(name, config),
  delay_started_(false),
  delay_complete_(false),
  msec_(0),
  read_parameter_from_ports_(true)
{
}

PortsList DelayNode::providedPorts()
{
  return {InputPort<unsigned>("delay_msec", "Tick the child after a few milliseconds")};
}

void DelayNode::halt()
{
  delay_started_ = false;
  timer_.cancelAll();
  DecoratorNode::halt();
}

NodeStatus DelayNode::tick()
{
  if (read_parameter_from_ports_ && !getInput("delay_msec", msec_)) {
    throw RuntimeError("Missing parameter [delay_msec] in DelayNode");
  }
  if (!delay_started_) {
    delay_started_ = true;
    {
      std::lock_guard<std::mutex> lock(delay_mutex_);
      delay_complete_ = false;
    }
    setStatus(NodeStatus::RUNNING);
    timer_.add(std::chrono::milliseconds(msec_), [this] {
      std::lock_guard<std::mutex> lock(delay_mutex_);
      delay_complete_ = true;
      emitStateChanged();
    });
  }

  {
    std::lock_guard<std::mutex> lock(delay_mutex_);
    if (!delay_complete_) {
      return NodeStatus::RUNNING;
    }
  }
  const NodeStatus child_status = child()->executeTick();
  if (child_status != NodeStatus::RUNNING) {
    delay_started_ = false;
  }
  return child_status;
}

}  // namespace BT
