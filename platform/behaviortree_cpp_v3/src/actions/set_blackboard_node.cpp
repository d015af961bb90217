#include "behaviortree_cpp_v3/actions/set_blackboard_node.h"

namespace BT
{
SetBlackboard::SetBlackboard(const std::string & name, const NodeConfiguration & config)
: SyncActionNode(name, config)
{
  setRegistrationID("SetBlackboard");
}

PortsList SetBlackboard::providedPorts()
{
  return {
    InputPort("value", "Value represented as a string. convertFromString must be implemented."),
    BidirectionalPort(
      "output_key", "Name of the blackboard entry where the value should be written")};
}

NodeStatus SetBlackboard::tick()
{
  std::string value;
  if (!getInput("value", value)) {
    throw RuntimeError("missing port [value]");
  }
  // Writing through the port covers both forms of the key; reading the key first would refuse
  // a "{key}" whose entry does not exist yet.
  if (!setOutput("output_key", value)) {
    throw RuntimeError("missing port [output_key]");
  }
  return NodeStatus::SUCCESS;
}

}  // namespace BT
