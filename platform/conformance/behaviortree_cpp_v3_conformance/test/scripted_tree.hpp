#ifndef SCRIPTED_TREE_HPP_
#define SCRIPTED_TREE_HPP_

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

#include "behaviortree_cpp_v3/bt_factory.h"

using BT::NodeStatus;

constexpr NodeStatus IDLE = NodeStatus::IDLE;
constexpr NodeStatus RUNNING = NodeStatus::RUNNING;
constexpr NodeStatus SUCCESS = NodeStatus::SUCCESS;
constexpr NodeStatus FAILURE = NodeStatus::FAILURE;

/// What a scripted leaf returns, and how often it was ticked and halted. Kept by the fixture,
/// so it outlives the trees.
struct LeafState
{
  NodeStatus result = SUCCESS;
  int ticks = 0;
  int halts = 0;
};

/// An action that returns its state's result, RUNNING included.
class ScriptedAction : public BT::ActionNodeBase
{
public:
  ScriptedAction(const std::string & name, LeafState & state)
  : BT::ActionNodeBase(name, {}), state_(state)
  {
  }

  NodeStatus tick() override
  {
    state_.ticks++;
    return state_.result;
  }

  void halt() override { state_.halts++; }

private:
  LeafState & state_;
};

/// A factory with "Leaf" registered: <Leaf name="a"/> is a ScriptedAction driven by leaf("a").
class ScriptedTree : public ::testing::Test
{
protected:
  ScriptedTree()
  {
    factory.registerBuilder(
      {BT::NodeType::ACTION, "Leaf", {}, {}},
      [this](const std::string & name, const BT::NodeConfiguration &) {
        return std::make_unique<ScriptedAction>(name, leaves_[name]);
      });
  }

  LeafState & leaf(const std::string & name) { return leaves_[name]; }

  /// Sets the result of each named leaf, e.g. script({{"a", SUCCESS}, {"b", RUNNING}}).
  void script(const std::map<std::string, NodeStatus> & results)
  {
    for (const auto & [name, result] : results) {
      leaf(name).result = result;
    }
  }

  /// A Leaf element for each name, in order.
  static std::string leaves(std::initializer_list<std::string> names)
  {
    std::string xml;
    for (const auto & name : names) {
      xml += "<Leaf name='" + name + "'/>";
    }
    return xml;
  }

  static std::string document(const std::string & body)
  {
    return "<root><BehaviorTree ID=\"Main\">" + body + "</BehaviorTree></root>";
  }

  BT::Tree build(const std::string & body)
  {
    return factory.createTreeFromText(document(body), blackboard);
  }

  static NodeStatus statusOf(const BT::Tree & tree, const std::string & name)
  {
    for (const auto & node : tree.nodes) {
      if (node->name() == name) {
        return node->status();
      }
    }
    ADD_FAILURE() << "no node named " << name;
    return IDLE;
  }

  void expectCounts(const std::string & name, int ticks, int halts)
  {
    EXPECT_EQ(leaf(name).ticks, ticks) << "ticks of " << name;
    EXPECT_EQ(leaf(name).halts, halts) << "halts of " << name;
  }

  /// The text of the exception E that `action` throws; empty (and a failure) when none.
  template <typename E>
  static std::string messageOf(const std::function<void()> & action)
  {
    try {
      action();
    } catch (const E & error) {
      return error.what();
    }
    ADD_FAILURE() << "nothing was thrown";
    return {};
  }

  BT::BehaviorTreeFactory factory;
  BT::Blackboard::Ptr blackboard = BT::Blackboard::create();

private:
  std::map<std::string, LeafState> leaves_;
};

#endif  // SCRIPTED_TREE_HPP_
