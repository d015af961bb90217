#ifndef BEHAVIORTREE_CPP_V3__BT_FACTORY_H_
#define BEHAVIORTREE_CPP_V3__BT_FACTORY_H_

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "behaviortree_cpp_v3/behavior_tree.h"
#include "behaviortree_cpp_v3/utils/wakeup_signal.hpp"

namespace BT
{
/// Makes a node from its instance name and configuration.
using NodeBuilder =
  std::function<std::unique_ptr<TreeNode>(const std::string &, const NodeConfiguration &)>;

/// What the factory knows of a registered node type.
struct TreeNodeManifest
{
  NodeType type;
  std::string registration_ID;
  PortsList ports;
};

/// The node type of T, from the base class it derives from.
template <typename T>
constexpr NodeType getType()
{
  if constexpr (std::is_base_of_v<ActionNodeBase, T>) {
    return NodeType::ACTION;
  } else if constexpr (std::is_base_of_v<ConditionNode, T>) {
    return NodeType::CONDITION;
  } else if constexpr (std::is_base_of_v<SubtreeNode, T> || std::is_base_of_v<SubtreePlusNode, T>) {
    return NodeType::SUBTREE;
  } else if constexpr (std::is_base_of_v<DecoratorNode, T>) {
    return NodeType::DECORATOR;
  } else if constexpr (std::is_base_of_v<ControlNode, T>) {
    return NodeType::CONTROL;
  } else {
    return NodeType::UNDEFINED;
  }
}

/// A builder that constructs T from (name, config), or from (name) alone when T has no such
/// constructor.
template <typename T>
NodeBuilder CreateBuilder()
{
  return [](const std::string & name, const NodeConfiguration & config) {
    if constexpr (std::is_constructible_v<T, const std::string &, const NodeConfiguration &>) {
      return std::unique_ptr<TreeNode>(new T(name, config));
    } else {
      (void)config;
      return std::unique_ptr<TreeNode>(new T(name));
    }
  };
}

template <typename T>
TreeNodeManifest CreateManifest(const std::string & ID, PortsList portlist = getProvidedPorts<T>())
{
  return {getType<T>(), ID, std::move(portlist)};
}

/// The nodes of one behaviour tree, root first, with the blackboards of its subtrees. Move-only;
/// destroying a tree halts it first.
class Tree
{
public:
  std::vector<TreeNode::Ptr> nodes;
  std::vector<Blackboard::Ptr> blackboard_stack;

  Tree() = default;
  Tree(const Tree &) = delete;
  Tree & operator=(const Tree &) = delete;
  Tree(Tree && other) noexcept;
  /// Halts this tree's nodes before taking over those of `other`.
  Tree & operator=(Tree && other);
  ~Tree();

  /// Halts the root and then every node, and sets them all back to IDLE.
  void haltTree();

  /// Null when the tree is empty.
  TreeNode * rootNode() const;

  /// Ticks the root once. A root that finishes (SUCCESS or FAILURE) is set back to IDLE, so that
  /// the next tick starts the tree over. Throws RuntimeError for an empty tree.
  NodeStatus tickRoot();

  /// Waits until `timeout` has passed or a node calls emitStateChanged().
  void sleep(std::chrono::system_clock::duration timeout);

private:
  friend class BehaviorTreeFactory;

  /// The signal the nodes' emitStateChanged() raises, given to every node on first use.
  const std::shared_ptr<WakeUpSignal> & wakeUpSignal();

  std::shared_ptr<WakeUpSignal> wake_up_;
};

/// Registry of node types by ID, and builder of trees from XML.
class BehaviorTreeFactory
{
public:
  /// Registers the standard nodes (see builtinNodes()).
  BehaviorTreeFactory();

  /// Throws BehaviorTreeException when the ID is registered already.
  void registerBuilder(const TreeNodeManifest & manifest, const NodeBuilder & builder);

  /// Registers `builder` with the manifest of T: its node type and providedPorts().
  template <typename T>
  void registerBuilder(const std::string & ID, const NodeBuilder & builder)
  {
    registerBuilder(CreateManifest<T>(ID), builder);
  }

  /// A synchronous action whose tick calls `tick_functor` with the node.
  void registerSimpleAction(
    const std::string & ID, const SimpleActionNode::TickFunctor & tick_functor,
    PortsList ports = {});

  /// A condition whose tick calls `tick_functor` with the node. A functor that takes no
  /// argument, such as std::bind of a member function and an object, ignores it.
  void registerSimpleCondition(
    const std::string & ID, const SimpleConditionNode::TickFunctor & tick_functor,
    PortsList ports = {});

  /// Registers T, built from (name, config) with its providedPorts(), or from (name) alone for a
  /// node type without ports.
  template <typename T>
  void registerNodeType(const std::string & ID)
  {
    static_assert(
      std::is_base_of_v<ActionNodeBase, T> || std::is_base_of_v<ControlNode, T> ||
        std::is_base_of_v<DecoratorNode, T> || std::is_base_of_v<ConditionNode, T>,
      "[registerNode]: accepts only classed derived from either ActionNodeBase, "
      "DecoratorNode, ControlNode or ConditionNode");
    static_assert(
      !std::is_abstract_v<T>,
      "[registerNode]: Some methods are pure virtual. "
      "Did you override the methods tick() and halt()?");
    constexpr bool default_constructable = std::is_constructible_v<T, const std::string &>;
    constexpr bool param_constructable =
      std::is_constructible_v<T, const std::string &, const NodeConfiguration &>;
    constexpr bool has_static_ports_list = has_static_method_providedPorts<T>::value;
    static_assert(
      default_constructable || param_constructable,
      "[registerNode]: the registered class must have at least one of these two constructors: "
      "(const std::string&, const NodeConfiguration&) or (const std::string&).");
    static_assert(
      !(param_constructable && !has_static_ports_list),
      "[registerNode]: you MUST implement the static method: PortsList providedPorts();");
    static_assert(
      !(has_static_ports_list && !param_constructable),
      "[registerNode]: since you have a static method providedPorts(), you MUST add a "
      "constructor with signature (const std::string&, const NodeConfiguration&)");
    registerBuilder(CreateManifest<T>(ID), CreateBuilder<T>());
  }

  /// Builds the node registered as `ID`; throws RuntimeError when the ID is not registered.
  std::unique_ptr<TreeNode> instantiateTreeNode(
    const std::string & name, const std::string & ID, const NodeConfiguration & config) const;

  const std::unordered_map<std::string, NodeBuilder> & builders() const;

  const std::unordered_map<std::string, TreeNodeManifest> & manifests() const;

  /// IDs of the standard nodes that every factory registers.
  const std::set<std::string> & builtinNodes() const;

  /// Builds the main tree of an XML text. Throws RuntimeError for malformed XML, a missing main
  /// tree, a node ID that is not registered, an attribute that is not a port of its node, or a
  /// wrong number of children.
  Tree createTreeFromText(
    const std::string & text, Blackboard::Ptr blackboard = Blackboard::create());

  /// As createTreeFromText, for the XML file at `file_path`; a missing file raises RuntimeError.
  Tree createTreeFromFile(
    const std::string & file_path, Blackboard::Ptr blackboard = Blackboard::create());

private:
  std::unordered_map<std::string, NodeBuilder> builders_;
  std::unordered_map<std::string, TreeNodeManifest> manifests_;
  std::set<std::string> builtin_IDs_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__BT_FACTORY_H_
