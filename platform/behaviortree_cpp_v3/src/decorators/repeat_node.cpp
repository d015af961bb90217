#include "behaviortree_cpp_v3/decorators/repeat_node.h"

namespace BT
{
namespace
{
constexpr const char * kNumCycles = "num_cycles";
}  // namespace

RepeatNode::RepeatNode(const std::string & name, const NodeConfiguration & config)
: DecoratorNode(name, config), num_cycles_(0), repeat_count_(0)
{
}

PortsList RepeatNode::providedPorts()
{
  return {InputPort<int>(
    kNumCycles, "Repeat a succesful child up to N times. Use -1 to create an infinite loop.")};
}

void RepeatNode::halt()
{
  repeat_count_ = 0;
  DecoratorNode::halt();
}

NodeStatus RepeatNode::tick()
{
  if (!getInput(kNumCycles, num_cycles_)) {
    throw RuntimeError("Missing parameter [", kNumCycles, "] in RepeatNode");
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
