#ifndef BEHAVIORTREE_CPP_V3__ACTIONS__ALWAYS_SUCCESS_NODE_H_
#define BEHAVIORTREE_CPP_V3__ACTIONS__ALWAYS_SUCCESS_NODE_H_

#include <string>

#include "behaviortree_cpp_v3/action_node.h"

namespace BT
{
/// Returns SUCCESS.
class AlwaysSuccessNode : public SyncActionNode
{
public:
  explicit AlwaysSuccessNode(const std::string & name) : SyncActionNode(name, {})
  {
    setRegistrationID("AlwaysSuccess");
  }

private:
  NodeStatus tick() override { return NodeStatus::SUCCESS; }
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__ACTIONS__ALWAYS_SUCCESS_NODE_H_
