#include "behaviortree_cpp_v3/tree_node.h"

namespace BT
{
TreeNode::TreeNode(std::string name, NodeConfiguration config)
: name_(std::move(name)), status_(NodeStatus::IDLE), config_(std::move(config))
{
}

NodeStatus TreeNode::executeTick()
{
  const NodeStatus new_status = tick();
  setStatus(new_status);
  return new_status;
}

NodeStatus TreeNode::status() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return status_;
}

void TreeNode::setStatus(NodeStatus new_status)
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  status_ = new_status;
}

void TreeNode::resetStatus() { setStatus(NodeStatus::IDLE); }

const std::string & TreeNode::name() const { return name_; }

const std::string & TreeNode::registrationName() const { return registration_id_; }

const NodeConfiguration & TreeNode::config() const { return config_; }

void TreeNode::setRegistrationID(StringView id) { registration_id_ = std::string(id); }

bool TreeNode::isBlackboardPointer(StringView str)
{
  const auto size = str.size();
  if (size < 3 || str.back() != '}') {
    return false;
  }
  return str.front() == '{' || (size >= 4 && str[0] == '$' && str[1] == '{');
}

StringView TreeNode::stripBlackboardPointer(StringView str)
{
  if (!isBlackboardPointer(str)) {
    return {};
  }
  const size_t prefix = str.front() == '{' ? 1 : 2;
  return str.substr(prefix, str.size() - prefix - 1);
}

Optional<StringView> TreeNode::getRemappedKey(StringView port_name, StringView remapping_value)
{
  if (remapping_value == "=") {
    return port_name;
  }
  if (isBlackboardPointer(remapping_value)) {
    return stripBlackboardPointer(remapping_value);
  }
  return nonstd::make_unexpected("Not a blackboard pointer");
}

}  // namespace BT
