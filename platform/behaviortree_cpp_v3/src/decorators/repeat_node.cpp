#include "behaviortree_cpp_v3/decorators/repeat_node.h"

namespace BT
{
RepeatNode::RepeatNode(const std::string & name, int NTries)
: DecoratorNode(name, {}), num_cycles_(NTries), repeat_count_(0), read_parameter_from_ports_(false)
{
  setRegistrationID("Repeat");
}

RepeatNode::RepeatNode(const std::string & name, const NodeConfiguration & config)
: DecoratorNode(name, config), num_cycles_(0), repeat_count_(0), read_parameter_from_ports_(true)
{
}

PortsList RepeatNode::providedPorts()
{
  return {InputPort<int>(
    NUM_CYCLES, "Repeat a successful child up to N times. Use -1 to create an infinite loop.")};
}

void RepeatNode::halt()
{
  repeat_count_ = 0;
  DecoratorNode::halt();
}

NodeStatus RepeatNode::tick()
{
  if (read_parameter_from_ports_ && !getInput(NUM_CYCLES, num_cycles_)) {
    throw RuntimeError("Missing parameter [", NUM_CYCLES, "] in RepeatNode");
  }
  setStatus(NodeStatus::RUNNING);
  while (num_cycles_ == -1 || repeat_count_ < num_cycles_) {
    switch (child_node_->executeTick()) {
      case NodeStatus::SUCCESS:
        repeat_count_++;
        haltChild();
        break;
      case NodeStatus::FAILURE:
        repeat_count_ = 0;
        haltChild();
        return NodeStatus::FAILURE;
      case NodeStatus::RUNNING:
        return NodeStatus::RUNNING;
      case NodeStatus::IDLE:
        throw LogicError("A child node must never return IDLE");
    }
  }
  repeat_count_ = 0;
  return NodeStatus::SUCCESS;
}

}  // namespace BT
