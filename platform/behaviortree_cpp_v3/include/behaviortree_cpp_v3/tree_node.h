#ifndef BEHAVIORTREE_CPP_V3__TREE_NODE_H_
#define BEHAVIORTREE_CPP_V3__TREE_NODE_H_

#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/blackboard.h"
#include "behaviortree_cpp_v3/utils/strcat.hpp"

namespace BT
{
/// Port name to the text the tree gives for it: a literal value, "{key}" (or "${key}") naming a
/// blackboard entry, or "=" for the entry of the port's own name.
using PortsRemapping = std::unordered_map<std::string, std::string>;

/// What a node is built with: the blackboard of its tree and its port remappings.
struct NodeConfiguration
{
  NodeConfiguration() {}

  Blackboard::Ptr blackboard;
  PortsRemapping input_ports;
  PortsRemapping output_ports;
};

/// Base of every node. The tree calls executeTick, which runs tick() and records the status it
/// returns; a parent halts a child that is RUNNING when it no longer needs its result, and sets
/// the child back to IDLE. status() and setStatus() may be called from any thread.
class TreeNode
{
public:
  using Ptr = std::shared_ptr<TreeNode>;

  TreeNode(std::string name, NodeConfiguration config);
  virtual ~TreeNode() = default;

  TreeNode(const TreeNode &) = delete;
  TreeNode & operator=(const TreeNode &) = delete;

  /// Runs tick() and records the returned status.
  virtual NodeStatus executeTick();

  /// Stops a RUNNING job. Implementations also halt their children; the caller sets the node
  /// back to IDLE.
  virtual void halt() = 0;

  NodeStatus status() const;

  /// The instance name: the XML "name" attribute, or the registration ID without it.
  const std::string & name() const;

  virtual NodeType type() const = 0;

  /// The ID the node type was registered with.
  const std::string & registrationName() const;

  const NodeConfiguration & config() const;

  /// Reads the input port `key`: its literal text converted to T, or the value of the blackboard
  /// entry it points to (text of the entry converted to T). A port the tree does not give holds
  /// its default value, if it has one. Conversion errors become the error of the result.
  template <typename T>
  Result getInput(const std::string & key, T & destination) const;

  template <typename T>
  Optional<T> getInput(const std::string & key) const
  {
    T value{};
    Result result = getInput(key, value);
    if (!result) {
      return nonstd::make_unexpected(result.error());
    }
    return Optional<T>(std::move(value));
  }

  /// Tells a tree sleeping between ticks that this node has news. Trees here never sleep
  /// between ticks, so nobody listens.
  void emitStateChanged() {}

  /// True for "{key}" and "${key}".
  static bool isBlackboardPointer(StringView str);

  /// The key of "{key}" or "${key}"; empty for any other text.
  static StringView stripBlackboardPointer(StringView str);

  /// The blackboard key that `remapping_value` designates for the port `port_name`: the port's
  /// own name for "=", the key of a blackboard pointer; an error for a literal value.
  static Optional<StringView> getRemappedKey(StringView port_name, StringView remapping_value);

protected:
  virtual NodeStatus tick() = 0;

  void setStatus(NodeStatus new_status);

  /// Equivalent to setStatus(NodeStatus::IDLE).
  void resetStatus();

  void setRegistrationID(StringView id);

  friend class BehaviorTreeFactory;
  friend class ControlNode;
  friend class DecoratorNode;
  friend class Tree;

private:
  const std::string name_;
  NodeStatus status_;
  mutable std::mutex state_mutex_;
  NodeConfiguration config_;
  std::string registration_id_;
};

template <typename T>
Result TreeNode::getInput(const std::string & key, T & destination) const
{
  const auto remap_it = config_.input_ports.find(key);
  if (remap_it == config_.input_ports.end()) {
    return nonstd::make_unexpected(StrCat(
      "getInput() failed because NodeConfiguration::input_ports does not contain the key: [", key,
      "]"));
  }
  const std::string & remapping_value = remap_it->second;
  try {
    const auto remapped_key = getRemappedKey(key, remapping_value);
    if (!remapped_key) {
      destination = convertFromString<T>(remapping_value);
      return {};
    }
    if (!config_.blackboard) {
      return nonstd::make_unexpected(
        "getInput() trying to access a Blackboard(BB) entry, but BB is invalid");
    }
    std::lock_guard<std::mutex> entry_lock(config_.blackboard->entryMutex());
    const Any * value = config_.blackboard->getAny(std::string(remapped_key.value()));
    if (value == nullptr) {
      return nonstd::make_unexpected(StrCat(
        "getInput() failed because it was unable to find the port [", key, "] remapped to BB [",
        remapped_key.value(), "]"));
    }
    if (value->empty()) {
      return nonstd::make_unexpected(StrCat(
        "getInput() failed because the port [", key, "] remapped to BB [", remapped_key.value(),
        "] was found,but its content was not initialized correctly"));
    }
    if constexpr (!std::is_same_v<T, std::string>) {
      if (value->type() == typeid(std::string)) {
        destination = convertFromString<T>(value->cast<std::string>());
        return {};
      }
    }
    destination = value->cast<T>();
    return {};
  } catch (const std::exception & error) {
    return nonstd::make_unexpected(error.what());
  }
}

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__TREE_NODE_H_
