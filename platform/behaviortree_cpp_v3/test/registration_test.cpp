#include <functional>

#include "scripted_tree.h"

namespace
{
/// A node type with ports, built from (name, config).
class MoveTo : public BT::SyncActionNode
{
public:
  MoveTo(const std::string & name, const BT::NodeConfiguration & config)
  : BT::SyncActionNode(name, config)
  {
  }

  static BT::PortsList providedPorts()
  {
    return {
      BT::InputPort<double>("speed", 0.5, "metres per second"), BT::InputPort<std::string>("goal"),
      BT::OutputPort<int>("steps")};
  }

  NodeStatus tick() override
  {
    auto speed = getInput<double>("speed");
    auto goal = getInput<std::string>("goal");
    if (!speed || !goal) {
      return FAILURE;
    }
    setOutput("steps", static_cast<int>(goal->size() / speed.value()));
    return SUCCESS;
  }
};

/// A node type without ports, built from its name alone.
class Beep : public BT::SyncActionNode
{
public:
  explicit Beep(const std::string & name) : BT::SyncActionNode(name, {}) {}
  NodeStatus tick() override { return SUCCESS; }
};

/// A node type that needs more than (name, config): registered through a builder.
class Gate : public BT::ConditionNode
{
public:
  Gate(const std::string & name, const BT::NodeConfiguration & config, const bool & open)
  : BT::ConditionNode(name, config), open_(open)
  {
  }

  static BT::PortsList providedPorts() { return {BT::InputPort<int>("id")}; }

  NodeStatus tick() override { return open_ ? SUCCESS : FAILURE; }

private:
  const bool & open_;
};

/// A table whose const members guard branches of the tree.
class CommandTable
{
public:
  NodeStatus Accepts() const { return accepted ? SUCCESS : FAILURE; }
  bool accepted = false;
};

}  // namespace

using Registration = ScriptedTree;

TEST_F(Registration, NodeTypeWithPortsGetsManifestAndConfiguration)
{
  factory.registerNodeType<MoveTo>("MoveTo");
  const auto & manifest = factory.manifests().at("MoveTo");
  EXPECT_EQ(manifest.type, BT::NodeType::ACTION);
  EXPECT_EQ(manifest.registration_ID, "MoveTo");
  ASSERT_EQ(manifest.ports.size(), 3u);
  EXPECT_EQ(manifest.ports.at("speed").defaultValue(), BT::toStr(0.5));
  EXPECT_EQ(manifest.ports.at("speed").description(), "metres per second");
  EXPECT_EQ(*manifest.ports.at("goal").type(), typeid(std::string));
  EXPECT_EQ(manifest.ports.at("steps").direction(), BT::PortDirection::OUTPUT);

  auto tree = build("<MoveTo name='go' goal='dock' steps='{steps}'/>");
  EXPECT_EQ(tree.rootNode()->name(), "go");
  EXPECT_EQ(tree.rootNode()->registrationName(), "MoveTo");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("steps"), 8);
}

TEST_F(Registration, NodeTypeWithoutPortsIsBuiltFromName)
{
  factory.registerNodeType<Beep>("Beep");
  EXPECT_TRUE(factory.manifests().at("Beep").ports.empty());
  auto tree = build("<Beep/>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(tree.rootNode()->config().blackboard, nullptr);
}

TEST_F(Registration, BuilderWithExplicitManifestOrTemplatedManifest)
{
  bool open = true;
  BT::NodeBuilder builder = [&open](
                              const std::string & name, const BT::NodeConfiguration & config) {
    return std::make_unique<Gate>(name, config, open);
  };
  factory.registerBuilder<Gate>("Gate", builder);
  factory.registerBuilder({BT::NodeType::CONDITION, "PlainGate", {}}, builder);
  EXPECT_EQ(factory.manifests().at("Gate").type, BT::NodeType::CONDITION);
  EXPECT_EQ(factory.manifests().at("Gate").ports.count("id"), 1u);
  EXPECT_TRUE(factory.manifests().at("PlainGate").ports.empty());

  auto tree = build("<Sequence><Gate id='3'/><PlainGate/></Sequence>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  open = false;
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  EXPECT_THROW(build("<PlainGate id='3'/>"), BT::RuntimeError);
}

TEST_F(Registration, SimpleConditionFromBoundConstMemberIgnoresNode)
{
  CommandTable table;
  factory.registerSimpleCondition("Accepts", std::bind(&CommandTable::Accepts, &table), {});
  EXPECT_EQ(factory.manifests().at("Accepts").type, BT::NodeType::CONDITION);

  auto tree = build("<Accepts/>");
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  table.accepted = true;
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
}

TEST_F(Registration, SimpleActionAndConditionReadTheirPorts)
{
  std::string seen;
  factory.registerSimpleAction(
    "Say",
    [&seen](BT::TreeNode & node) {
      seen = node.getInput<std::string>("text").value();
      return SUCCESS;
    },
    {BT::InputPort<std::string>("text")});
  factory.registerSimpleCondition(
    "IsPositive",
    [](BT::TreeNode & node) { return node.getInput<int>("value").value() > 0 ? SUCCESS : FAILURE; },
    {BT::InputPort<int>("value")});

  auto tree = build("<Sequence><IsPositive value='{n}'/><Say text='hello'/></Sequence>");
  blackboard->set("n", 3);
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(seen, "hello");
  blackboard->set("n", -3);
  EXPECT_EQ(tree.tickRoot(), FAILURE);
}

TEST_F(Registration, SynchronousActionReturningRunningIsRefused)
{
  factory.registerSimpleAction("Stuck", [](BT::TreeNode &) { return RUNNING; });
  auto tree = build("<Stuck/>");
  try {
    tree.tickRoot();
    FAIL() << "expected LogicError";
  } catch (const BT::LogicError & error) {
    EXPECT_STREQ(error.what(), "SyncActionNode MUST never return RUNNING");
  }
}

TEST_F(Registration, DuplicateIdAndUnknownIdAreRefused)
{
  EXPECT_THROW(factory.registerNodeType<Beep>("Sequence"), BT::BehaviorTreeException);
  factory.registerSimpleAction("Once", [](BT::TreeNode &) { return SUCCESS; });
  EXPECT_THROW(
    factory.registerSimpleAction("Once", [](BT::TreeNode &) { return SUCCESS; }),
    BT::BehaviorTreeException);
  EXPECT_THROW(factory.instantiateTreeNode("x", "Unknown", {}), BT::RuntimeError);
}

TEST_F(Registration, BuiltinNodesAreTheStandardSetWithTheirTypes)
{
  const std::set<std::string> expected = {
    "Sequence",
    "SequenceStar",
    "ReactiveSequence",
    "Fallback",
    "ReactiveFallback",
    "Parallel",
    "IfThenElse",
    "WhileDoElse",
    "Switch2",
    "Switch3",
    "Switch4",
    "Switch5",
    "Switch6",
    "Inverter",
    "ForceSuccess",
    "ForceFailure",
    "Repeat",
    "RetryUntilSuccessful",
    "KeepRunningUntilFailure",
    "Timeout",
    "Delay",
    "BlackboardCheckInt",
    "BlackboardCheckDouble",
    "BlackboardCheckString",
    "SetBlackboard",
    "AlwaysSuccess",
    "AlwaysFailure",
    "SubTree",
    "SubTreePlus"};
  BT::BehaviorTreeFactory fresh;
  EXPECT_EQ(fresh.builtinNodes(), expected);
  EXPECT_EQ(fresh.manifests().at("Sequence").type, BT::NodeType::CONTROL);
  EXPECT_EQ(fresh.manifests().at("Timeout").type, BT::NodeType::DECORATOR);
  EXPECT_EQ(fresh.manifests().at("SetBlackboard").type, BT::NodeType::ACTION);
  EXPECT_EQ(fresh.manifests().at("SubTree").type, BT::NodeType::SUBTREE);
  EXPECT_EQ(fresh.manifests().at("Parallel").ports.at("failure_threshold").defaultValue(), "1");
}
