#include "behaviortree_cpp_v3/controls/parallel_node.h"

namespace BT
{
ParallelNode::ParallelNode(const std::string & name, int success_threshold, int failure_threshold)
: ControlNode(name, {}),
  success_threshold_(success_threshold),
  failure_threshold_(failure_threshold),
  read_parameter_from_ports_(false)
{
  setRegistrationID("Parallel");
}

ParallelNode::ParallelNode(const std::string & name, const NodeConfiguration & config)
: ControlNode(name, config),
  success_threshold_(1),
  failure_threshold_(1),
  read_parameter_from_ports_(true)
{
}

PortsList ParallelNode::providedPorts()
{
  return {
    InputPort<int>(
      THRESHOLD_SUCCESS, "number of children which need to succeed to trigger a SUCCESS"),
    InputPort<int>(
      THRESHOLD_FAILURE, 1, "number of children which need to fail to trigger a FAILURE")};
}

void ParallelNode::halt()
{
  skip_list_.clear();
  ControlNode::halt();
}

size_t ParallelNode::resolveThreshold(int threshold) const
{
  if (threshold >= 0) {
    return static_cast<size_t>(threshold);
  }
  // -1 is every child, -2 all but one, ...; beyond the number of children nothing is reachable.
  const long resolved = static_cast<long>(childrenCount()) + threshold + 1;
  return resolved < 0 ? childrenCount() + 1 : static_cast<size_t>(resolved);
}

size_t ParallelNode::successThreshold() const { return resolveThreshold(success_threshold_); }

size_t ParallelNode::failureThreshold() const { return resolveThreshold(failure_threshold_); }

NodeStatus ParallelNode::tick()
{
  if (read_parameter_from_ports_) {
    if (!getInput(THRESHOLD_SUCCESS, success_threshold_)) {
      throw RuntimeError("Missing parameter [", THRESHOLD_SUCCESS, "] in ParallelNode");
    }
    if (!getInput(THRESHOLD_FAILURE, failure_threshold_)) {
      throw RuntimeError("Missing parameter [", THRESHOLD_FAILURE, "] in ParallelNode");
    }
  }
  const size_t children_count = childrenCount();
  const size_t success_needed = successThreshold();
  const size_t failure_needed = failureThreshold();
  if (children_count < success_needed) {
    throw LogicError("Number of children is less than threshold. Can never succeed.");
  }
  if (children_count < failure_needed) {
    throw LogicError("Number of children is less than threshold. Can never fail.");
  }

  size_t success_count = 0;
  size_t failure_count = 0;
  for (size_t i = 0; i < children_count; i++) {
    TreeNode * child = children_nodes_[i];
    const bool finished_before = skip_list_.count(i) != 0;
    const NodeStatus child_status = finished_before ? child->status() : child->executeTick();
    switch (child_status) {
      case NodeStatus::SUCCESS:
        skip_list_.insert(i);
        success_count++;
        if (success_count == success_needed) {
          skip_list_.clear();
          haltChildren();
          return NodeStatus::SUCCESS;
        }
        break;
      case NodeStatus::FAILURE:
        skip_list_.insert(i);
        failure_count++;
        if (failure_count > children_count - success_needed || failure_count == failure_needed) {
          skip_list_.clear();
          haltChildren();
          return NodeStatus::FAILURE;
        }
        break;
      case NodeStatus::RUNNING:
        break;
      case NodeStatus::IDLE:
        throw LogicError("A child node must never return IDLE");
    }
  }
  return NodeStatus::RUNNING;
}

}  // namespace BT
