#include "behaviortree_cpp_v3/decorators/timeout_node.h"

namespace BT
{
TimeoutNode::TimeoutNode(const std::string & name, unsigned milliseconds)
: DecoratorNode(name, {}),
  child_halted_(false),
  timer_id_(0),
  msec_(milliseconds),
  read_parameter_from_ports_(false),
  timeout_started_(false)
{
  setRegistrationID("Timeout");
}

TimeoutNode::TimeoutNode(const std::string & name, const NodeConfiguration & config)
: DecoratorNode(name, config),
  child_halted_(false),
  timer_id_(0),
  msec_(0),
  read_parameter_from_ports_(true),
  timeout_started_(false)
{
}

PortsList TimeoutNode::providedPorts()
{
  return {InputPort<unsigned>(
    "msec", "After a certain amount of time, halt() the child if it is still running.")};
}

void TimeoutNode::halt()
{
  timeout_started_ = false;
  timer_.cancelAll();
  DecoratorNode::halt();
}

void TimeoutNode::onTimeout()
{
  std::lock_guard<std::mutex> lock(timeout_mutex_);
  if (child()->status() == NodeStatus::RUNNING) {
    child_halted_ = true;
    haltChild();
    emitStateChanged();
  }
}

NodeStatus TimeoutNode::tick()
{
  if (read_parameter_from_ports_ && !getInput("msec", msec_)) {
    throw RuntimeError("Missing parameter [msec] in TimeoutNode");
  }
  if (!timeout_started_) {
    timeout_started_ = true;
    setStatus(NodeStatus::RUNNING);
    child_halted_ = false;
    if (msec_ > 0) {
      timer_id_ = timer_.add(std::chrono::milliseconds(msec_), [this] { onTimeout(); });
    }
  }

  std::unique_lock<std::mutex> lock(timeout_mutex_);
  if (child_halted_) {
    timeout_started_ = false;
    return NodeStatus::FAILURE;
  }
  const NodeStatus child_status = child()->executeTick();
  if (child_status != NodeStatus::RUNNING) {
    timeout_started_ = false;
    // The timer callback takes the same lock: release it before waiting for the callback.
    lock.unlock();
    timer_.cancel(timer_id_);
  }
  return child_status;
}

}  // namespace BT
