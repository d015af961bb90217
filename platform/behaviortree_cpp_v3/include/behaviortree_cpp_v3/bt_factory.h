#ifndef BEHAVIORTREE_CPP_V3__BT_FACTORY_H_
#define BEHAVIORTREE_CPP_V3__BT_FACTORY_H_

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "behaviortree_cpp_v3/behavior_tree.h"

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
  std::string description;
};

/// The node type of T, from the base class it derives from.
template <typename T>
constexpr NodeType getType()
{
  if constexpr (std::is_base_of_v<ActionNodeBase, T>) {
    return NodeType::ACTION;
  } else if constexpr (std::is_base_of_v<ConditionNode, T>) {
    return NodeType::CONDITION;
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
  return {getType<T>(), ID, std::move(portlist), {}};
}

/// The nodes of one behaviour tree, root first. Move-only; destroying a tree halts it first,
/// replacing it by move assignment does not.
class Tree
{
public:
  std::vector<TreeNode::Ptr> nodes;

  Tree() = default;
  Tree(const Tree &) = delete;
  Tree & operator=(const Tree &) = delete;
  Tree(Tree && other) = default;
  Tree & operator=(Tree && other) = default;
  ~Tree();

  /// Halts the root and then every node, and sets them all back to IDLE.
  void haltTree();

  /// Null when the tree is empty.
  TreeNode * rootNode() const;

  /// Ticks the root once. A root that finishes (SUCCESS or FAILURE) is set back to IDLE, so that
  /// the next tick starts the tree over. Throws RuntimeError for an empty tree.
  NodeStatus tickRoot();
};

/// Registry of node types by ID, and builder of trees from XML.
class BehaviorTreeFactory
{
public:
  /// Registers the standard nodes: Sequence, Fallback, ReactiveSequence, ReactiveFallback,
  /// Inverter, KeepRunningUntilFailure, Repeat, ForceFailure, BlackboardCheckInt and
  /// AlwaysSuccess.
  BehaviorTreeFactory();

  /// Throws BehaviorTreeException when the ID is registered already.
  void registerBuilder(const TreeNodeManifest & manifest, const NodeBuilder & builder);

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

  const std::unordered_map<std::string, TreeNodeManifest> & manifests() const;

  /// Builds the main tree of an XML text: the one main_tree_to_execute names, or the only one.
  /// Throws RuntimeError for malformed XML, a node ID that is not registered, an attribute that
  /// is not a port of its node, a port type that conflicts with the blackboard entry's, a
  /// Sequence or Fallback without children, a decorator without exactly one child, or no main
  /// tree; std::runtime_error when main_tree_to_execute names no tree.
  Tree createTreeFromText(
    const std::string & text, Blackboard::Ptr blackboard = Blackboard::create());

  /// As createTreeFromText, for the XML file at `file_path`; a missing file raises RuntimeError.
  Tree createTreeFromFile(
    const std::string & file_path, Blackboard::Ptr blackboard = Blackboard::create());

private:
  std::unordered_map<std::string, NodeBuilder> builders_;
  std::unordered_map<std::string, TreeNodeManifest> manifests_;
};

}  // namespace BT

#endif  // BEHAVIORTREE_CPP_V3__BT_FACTORY_H_
