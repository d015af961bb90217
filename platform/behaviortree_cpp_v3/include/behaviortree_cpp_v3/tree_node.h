#ifndef BEHAVIORTREE_CPP_V3__TREE_NODE_H_
#define BEHAVIORTREE_CPP_V3__TREE_NODE_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/blackboard.h"
#include "behaviortree_cpp_v3/utils/strcat.hpp"
#include "behaviortree_cpp_v3/utils/wakeup_signal.hpp"

namespace BT
{
/// Port name to the text the tree gives for it: a literal value, "{key}" (or "${key}") naming a
/// blackboard entry, or "=" for the entry of the port's own name.
using PortsRemapping = std::unordered_map<std::string, std::string>;

/// What a node is built with: the blackboard of its (sub)tree and its port remappings.
struct NodeConfiguration
{
  NodeConfiguration() {}

  Blackboard::Ptr blackboard;
  PortsRemapping input_ports;
  PortsRemapping output_ports;
};

/// Base of every node. The tree calls executeTick, which runs tick() and records the status it
/// returns; a parent calls halt() on a child that is RUNNING when it no longer needs its result,
/// and sets the child back to IDLE. status(), setStatus() and halt() of a node may be called from
/// a timer thread as well as from the thread that ticks the tree.
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

  /// Stops a RUNNING job. Implementations also halt their children.
  virtual void halt() = 0;

  NodeStatus status() const;

  /// The instance name: the XML "name" attribute, or the registration ID without it.
  const std::string & name() const;

  virtual NodeType type() const = 0;

  /// Unique among the nodes of the process (wraps after 65535 nodes).
  uint16_t UID() const;

  /// The ID the node type was registered with.
  const std::string & registrationName() const;

  const NodeConfiguration & config() const;

  /// Reads the input port `key`: its literal text converted to T, or the value of the blackboard
  /// entry it points to. A port the tree does not give holds its default value, if it has one.
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

  /// Writes the blackboard entry the output port `key` is remapped to.
  template <typename T>
  Result setOutput(const std::string & key, const T & value);

  /// True for "{key}" and "${key}".
  static bool isBlackboardPointer(StringView str);

  /// The key of "{key}" or "${key}"; empty for any other text.
  static StringView stripBlackboardPointer(StringView str);

  /// The blackboard key that `remapping_value` designates for the port `port_name`: the port's
  /// own name for "=", the key of a blackboard pointer; an error for a literal value.
  static Optional<StringView> getRemappedKey(StringView port_name, StringView remapping_value);

  /// Tells a tree sleeping between ticks that this node has something new to report.
  void emitStateChanged();

  /// The signal emitStateChanged raises; set by the tree on each of its nodes.
  void setWakeUpInstance(std::shared_ptr<WakeUpSignal> instance);

protected:
  virtual NodeStatus tick() = 0;

  void setStatus(NodeStatus new_status);

  void setRegistrationID(StringView id);

  friend class BehaviorTreeFactory;
  friend class ControlNode;
  friend class DecoratorNode;
  friend class Tree;

private:
  const std::string name_;
  NodeStatus status_;
  mutable std::mutex state_mutex_;
  const uint16_t uid_;
  NodeConfiguration config_;
  std::string registration_id_;
  std::shared_ptr<WakeUpSignal> wake_up_;
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
    if (!config_.blackboard->get(std::string(remapped_key.value()), destination)) {
      return nonstd::make_unexpected(StrCat(
        "getInput() failed because it was unable to find the key [", key, "] remapped to [",
        remapped_key.value(), "]"));
    }
    return {};
  } catch (const std::exception & error) {
    return nonstd::make_unexpected(error.what());
  }
}

template <typename T>
Result TreeNode::setOutput(const std::string & key, const T & value)
{
  if (!config_.blackboard) {
    return nonstd::make_unexpected(
      "setOutput() failed: trying to access a Blackboard(BB) entry, but BB is invalid");
  }
  const auto remap_it = config_.output_ports.find(key);
  if (remap_it == config_.output_ports.end()) {
    return nonstd::make_unexpected(StrCat(
      "setOutput() failed: NodeConfiguration::output_ports does not contain the key: [", key, "]"));
  }
  StringView remapped_key = remap_it->second;
  if (remapped_key == "=") {
    remapped_key = key;
  } else if (isBlackboardPointer(remapped_key)) {
    remapped_key = stripBlackboardPointer(remapped_key);
  }
  config_.blackboard->set(std::string(remapped_key), value);
  return {};
}

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__TREE_NODE_H_
