#ifndef BEHAVIORTREE_CPP_V3__ACTIONS__SET_BLACKBOARD_NODE_H_
#define BEHAVIORTREE_CPP_V3__ACTIONS__SET_BLACKBOARD_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/action_node.h"

namespace BT
{
/// Writes the text of "value" to the blackboard entry "output_key" names, given either as a
/// plain key (output_key="answer") or as a pointer (output_key="{answer}"), and returns SUCCESS.
/// A missing port raises RuntimeError.
class SetBlackboard : public SyncActionNode
{
public:
  SetBlackboard(const std::string & name, const NodeConfiguration & config);

  static PortsList providedPorts();

private:
  NodeStatus tick() override;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__ACTIONS__SET_BLACKBOARD_NODE_H_
