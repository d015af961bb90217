#include <string>

#include "scripted_tree.h"

namespace
{
/// Reads "in" as int and writes it plus one to "out".
class Increment : public BT::SyncActionNode
{
public:
  Increment(const std::string & name, const BT::NodeConfiguration & config)
  : BT::SyncActionNode(name, config)
  {
  }

  static BT::PortsList providedPorts()
  {
    return {BT::InputPort<int>("in", 10, "value to increment"), BT::OutputPort<int>("out")};
  }

  NodeStatus tick() override
  {
    const auto in = getInput<int>("in");
    if (!in) {
      throw BT::RuntimeError(in.error());
    }
    setOutput("out", in.value() + 1);
    return SUCCESS;
  }
};

/// Declares "text" as a string port.
class Print : public BT::SyncActionNode
{
public:
  Print(const std::string & name, const BT::NodeConfiguration & config)
  : BT::SyncActionNode(name, config)
  {
  }
  static BT::PortsList providedPorts() { return {BT::InputPort<std::string>("text")}; }
  NodeStatus tick() override { return SUCCESS; }
};

}  // namespace

class BlackboardPorts : public ScriptedTree
{
protected:
  BlackboardPorts()
  {
    factory.registerNodeType<Increment>("Increment");
    factory.registerNodeType<Print>("Print");
  }
};

TEST_F(BlackboardPorts, BlackboardStoresConvertsAndRefusesMissingKeys)
{
  auto board = BT::Blackboard::create();
  board->set("count", 7);
  board->set("name", "robot");
  board->set("ratio", std::string("0.25"));

  EXPECT_EQ(board->get<int>("count"), 7);
  EXPECT_EQ(board->get<long>("count"), 7L);
  EXPECT_EQ(board->get<double>("count"), 7.0);
  EXPECT_EQ(board->get<std::string>("name"), "robot");
  EXPECT_EQ(board->get<double>("ratio"), 0.25);
  EXPECT_EQ(board->getAny("count")->type(), typeid(int));
  EXPECT_EQ(board->getAny("missing"), nullptr);

  int value = 0;
  EXPECT_FALSE(board->get("missing", value));
  EXPECT_THROW(board->get<int>("missing"), BT::RuntimeError);
  EXPECT_THROW(board->get<unsigned>("ratio"), BT::RuntimeError);
  board->set("count", -1);
  EXPECT_THROW(board->get<unsigned>("count"), BT::RuntimeError);
}

TEST_F(BlackboardPorts, DeclaredPortTypeIsKeptOnSet)
{
  auto tree = build("<Increment in='{level}' out='{level}'/>");
  blackboard->set("level", std::string("4"));
  EXPECT_EQ(blackboard->getAny("level")->type(), typeid(int));
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("level"), 5);
  EXPECT_THROW(blackboard->set("level", 2.5), BT::LogicError);
}

TEST_F(BlackboardPorts, PortReadsLiteralPointerDefaultOrSameNameEntry)
{
  auto tree = build(
    "<Sequence>"
    "<Increment name='literal' in='1' out='{a}'/>"
    "<Increment name='pointer' in='{a}' out='{b}'/>"
    "<Increment name='dollar' in='${b}' out='{c}'/>"
    "<Increment name='default' out='{d}'/>"
    "<Increment name='same' in='{a}' out='='/>"
    "</Sequence>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("a"), 2);
  EXPECT_EQ(blackboard->get<int>("b"), 3);
  EXPECT_EQ(blackboard->get<int>("c"), 4);
  EXPECT_EQ(blackboard->get<int>("d"), 11);
  EXPECT_EQ(blackboard->get<int>("out"), 3);
}

TEST_F(BlackboardPorts, FailedReadsExplainWhy)
{
  auto tree = build("<Sequence><Increment in='{nowhere}' out='{x}'/></Sequence>");
  try {
    tree.tickRoot();
    FAIL() << "expected a failed read";
  } catch (const BT::RuntimeError & error) {
    EXPECT_NE(std::string(error.what()).find("[in] remapped to [nowhere]"), std::string::npos);
  }

  auto bad_text = build("<Increment in='ten' out='{x}'/>");
  EXPECT_THROW(bad_text.tickRoot(), BT::RuntimeError);

  BT::NodeConfiguration config;
  Increment unconfigured("bare", config);
  EXPECT_FALSE(unconfigured.getInput<int>("in"));
  EXPECT_FALSE(unconfigured.setOutput("out", 1));
}

TEST_F(BlackboardPorts, ConflictingPortTypesOnOneEntryAreRefused)
{
  EXPECT_THROW(
    build("<Sequence><Increment out='{shared}'/><Print text='{shared}'/></Sequence>"),
    BT::RuntimeError);
}

TEST_F(BlackboardPorts, SubTreeHasOwnBlackboardWithRemappedKeys)
{
  const std::string xml =
    "<root main_tree_to_execute='Main'>"
    "<BehaviorTree ID='Main'><Sequence>"
    "<SetBlackboard output_key='start' value='1'/>"
    "<SubTree ID='Step' input='start' output='{result}'/>"
    "</Sequence></BehaviorTree>"
    "<BehaviorTree ID='Step'><Sequence>"
    "<Increment in='{input}' out='{output}'/><Increment in='5' out='{private}'/>"
    "</Sequence></BehaviorTree></root>";
  auto tree = factory.createTreeFromText(xml, blackboard);
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("result"), 2);
  EXPECT_EQ(blackboard->getAny("private"), nullptr);
  ASSERT_EQ(tree.blackboard_stack.size(), 2u);
  EXPECT_EQ(tree.blackboard_stack[1]->get<int>("private"), 6);

  const auto & subtree = tree.nodes[2];
  EXPECT_EQ(subtree->type(), BT::NodeType::SUBTREE);
  EXPECT_EQ(subtree->name(), "Step");
  EXPECT_EQ(subtree->registrationName(), "SubTree");
}

TEST_F(BlackboardPorts, SubTreeWithSharedBlackboardSeesEveryKey)
{
  const std::string xml =
    "<root main_tree_to_execute='Main'>"
    "<BehaviorTree ID='Main'><SubTree ID='Step' __shared_blackboard='true'/></BehaviorTree>"
    "<BehaviorTree ID='Step'><Increment in='{x}' out='{y}'/></BehaviorTree></root>";
  blackboard->set("x", 41);
  auto tree = factory.createTreeFromText(xml, blackboard);
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("y"), 42);
  EXPECT_EQ(tree.blackboard_stack.size(), 1u);
}

TEST_F(BlackboardPorts, SubTreePlusRemapsPointersSetsLiteralsAndAutoremaps)
{
  const std::string xml =
    "<root main_tree_to_execute='Main'>"
    "<BehaviorTree ID='Main'><Sequence>"
    "<SubTreePlus ID='Step' input='{seed}' output='{first}'/>"
    "<SubTreePlus ID='Step' input='100' output='{second}'/>"
    "<SubTreePlus ID='Step' __autoremap='true'/>"
    "</Sequence></BehaviorTree>"
    "<BehaviorTree ID='Step'><Increment in='{input}' out='{output}'/></BehaviorTree></root>";
  blackboard->set("seed", 1);
  blackboard->set("input", 7);
  auto tree = factory.createTreeFromText(xml, blackboard);
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("first"), 2);
  EXPECT_EQ(blackboard->get<int>("second"), 101);
  EXPECT_EQ(blackboard->get<int>("output"), 8);
}
