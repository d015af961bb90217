#ifndef BEHAVIORTREE_CPP_V3__DECORATORS__RETRY_NODE_H_
#define BEHAVIORTREE_CPP_V3__DECORATORS__RETRY_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/decorator_node.h"

namespace BT
{
/// Ticks the child again each time it fails, within the same tick, until it has failed
/// `num_attempts` times: then FAILURE. A child SUCCESS ends it with SUCCESS; a RUNNING child is
/// resumed at the next tick. -1 retries without end. A missing "num_attempts" raises RuntimeError.
class RetryNode : public DecoratorNode
{
public:
  RetryNode(const std::string & name, int NTries);

  /// Reads "num_attempts" at every tick.
  RetryNode(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

  /// Forgets the count and halts the child.
  void halt() override;

private:
  NodeStatus tick() override;

  int max_attempts_;
  int try_count_;
  bool read_parameter_from_ports_;
  static constexpr const char * NUM_ATTEMPTS = "num_attempts";
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__DECORATORS__RETRY_NODE_H_
