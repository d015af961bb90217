#ifndef BEHAVIORTREE_CPP_V3__CONTROLS__PARALLEL_NODE_H_
#define BEHAVIORTREE_CPP_V3__CONTROLS__PARALLEL_NODE_H_

#include <set>
#include <string>

#include "behaviortree_cpp_v3/control_node.h"

namespace BT
{
/// Ticks every unfinished child at each tick. A child that has finished is not ticked again; its
/// result counts until the node itself finishes. SUCCESS once `success_threshold` children have
/// succeeded; FAILURE once `failure_threshold` children have failed or success is no longer
/// reachable; either way every child is halted. A negative threshold counts from the number of
/// children: -1 means all of them. Thresholds above the number of children raise LogicError.
class ParallelNode : public ControlNode
{
public:
  ParallelNode(const std::string & name, int success_threshold, int failure_threshold = 1);

  /// Reads both thresholds from the ports at every tick.
  ParallelNode(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

  /// Forgets the finished children and halts every child.
  void halt() override;

  size_t successThreshold() const;
  size_t failureThreshold() const;

private:
  NodeStatus tick() override;

  size_t resolveThreshold(int threshold) const;

  int success_threshold_;
  int failure_threshold_;
  std::set<size_t> skip_list_;
  bool read_parameter_from_ports_;
  static constexpr const char * THRESHOLD_SUCCESS = "success_threshold";
  static constexpr const char * THRESHOLD_FAILURE = "failure_threshold";
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__CONTROLS__PARALLEL_NODE_H_
