#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>

#include "scripted_tree.hpp"

namespace
{
/// Reads its input port "in" as T at each tick and keeps what it read, or the error.
template <typename T>
class Read : public BT::SyncActionNode
{
public:
  Read(const std::string & name, const BT::NodeConfiguration & config)
  : BT::SyncActionNode(name, config)
  {
  }

  static BT::PortsList providedPorts() { return {BT::InputPort<T>("in", T{}, "value to read")}; }

  static inline std::map<std::string, BT::Optional<T>> reads;

  NodeStatus tick() override
  {
    reads.insert_or_assign(name(), getInput<T>("in"));
    return SUCCESS;
  }
};

/// A synchronous action that breaks its contract; built from its name alone.
class Stalls : public BT::SyncActionNode
{
public:
  explicit Stalls(const std::string & name) : BT::SyncActionNode(name, {}) {}
  NodeStatus tick() override { return RUNNING; }
};

/// A condition as the deployment registers its guards: a bound member function.
struct Gate
{
  NodeStatus check() const { return open ? SUCCESS : FAILURE; }
  bool open = false;
};

}  // namespace

class PortsAndXml : public ScriptedTree
{
protected:
  PortsAndXml()
  {
    factory.registerNodeType<Read<int>>("ReadInt");
    factory.registerNodeType<Read<NodeStatus>>("ReadStatus");
    factory.registerNodeType<Stalls>("Stalls");
  }

  static BT::Optional<int> readOf(const std::string & name) { return Read<int>::reads.at(name); }
};

TEST_F(PortsAndXml, PortReadsLiteralPointerDefaultOrSameNameEntry)
{
  blackboard->set("a", 5);
  blackboard->set("text", std::string("12"));
  blackboard->set("in", 9);
  auto tree = build(
    "<Sequence><ReadInt name='literal' in='1'/><ReadInt name='pointer' in='{a}'/>"
    "<ReadInt name='dollar' in='${a}'/><ReadInt name='parsed' in='{text}'/>"
    "<ReadInt name='default'/><ReadInt name='same_name' in='='/></Sequence>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  const std::map<std::string, int> expected = {{"literal", 1}, {"pointer", 5}, {"dollar", 5},
                                               {"parsed", 12}, {"default", 0}, {"same_name", 9}};
  for (const auto & [name, value] : expected) {
    ASSERT_TRUE(readOf(name)) << name << ": " << readOf(name).error();
    EXPECT_EQ(readOf(name).value(), value) << name;
  }
}

TEST_F(PortsAndXml, ReadsOutsideATreeConvertOrExplainWhy)
{
  BT::NodeConfiguration config;
  config.blackboard = blackboard;
  blackboard->set("count", 5);
  blackboard->set("real", 2.5);
  blackboard->createEntry("seed", BT::InputPort<int>("seed").second);
  config.input_ports = {
    {"count", "{count}"},
    {"real", "{real}"},
    {"seed", "{seed}"},
    {"gone", "{elsewhere}"},
    {"literal", "abc"}};
  const Read<int> node("node", config);

  EXPECT_EQ(node.getInput<int>("count").value(), 5);
  EXPECT_EQ(node.getInput<std::string>("count").value(), "5");
  EXPECT_FALSE(node.getInput<int>("literal"));
  const std::map<std::string, std::string> errors = {
    {"real", "Floating point truncated"},
    {"seed",
     "getInput() failed because the port [seed] remapped to BB [seed] was found,but its content "
     "was not initialized correctly"},
    {"gone",
     "getInput() failed because it was unable to find the port [gone] remapped to BB [elsewhere]"},
    {"out",
     "getInput() failed because NodeConfiguration::input_ports does not contain the key: [out]"}};
  for (const auto & [port, error] : errors) {
    EXPECT_EQ(node.getInput<int>(port).error(), error);
  }
}

TEST_F(PortsAndXml, RegistrationRefusesMisuseAndSimpleConditionsCallTheirFunction)
{
  EXPECT_EQ(factory.manifests().at("ReadInt").ports.at("in").defaultValue(), "0");
  EXPECT_THROW(factory.registerNodeType<Stalls>("Stalls"), BT::BehaviorTreeException);
  EXPECT_THROW(BT::InputPort<int>("name"), std::runtime_error);
  EXPECT_THROW(build("<Stalls/>").tickRoot(), BT::LogicError);

  Gate gate;
  factory.registerSimpleCondition("Gate", std::bind(&Gate::check, &gate));
  auto tree = build("<Gate/>");
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  gate.open = true;
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
}

TEST_F(PortsAndXml, MainTreeIsChosenByAttributeOrIsTheLoneTree)
{
  auto tree = factory.createTreeFromText(
    "<root main_tree_to_execute='Second'>"
    "<BehaviorTree ID='First'><Leaf name='first'/></BehaviorTree>"
    "<BehaviorTree ID='Second'><Action ID='Leaf' name='second'/></BehaviorTree>"
    "</root>");
  ASSERT_EQ(tree.nodes.size(), 1u);
  EXPECT_EQ(tree.rootNode()->name(), "second");
  EXPECT_EQ(tree.rootNode()->registrationName(), "Leaf");
  EXPECT_EQ(build("<Stalls/>").rootNode()->name(), "Stalls");

  const std::string path = ::testing::TempDir() + "bt_conformance_tree.xml";
  std::ofstream(path) << document("<Sequence><Leaf name='a'/><AlwaysSuccess/></Sequence>");
  EXPECT_EQ(factory.createTreeFromFile(path).nodes.size(), 3u);
  std::remove(path.c_str());
}

TEST_F(PortsAndXml, InvalidDocumentsRaiseErrorsSayingWhy)
{
  const struct
  {
    std::string xml;
    std::string message;
  } cases[] = {
    {"<root><BehaviorTree></root>", "Error parsing the XML: XML_ERROR_MISMATCHED_ELEMENT"},
    {"<tree/>", "The XML must have a root node called <root>"},
    {document("<NoSuchNode/>"), "Error at line 3: -> Node not recognized: NoSuchNode"},
    {document("<Action ID='NoSuchAction'/>"),
     "NoSuchAction is not a registered node, nor a Subtree"},
    {document("<Sequence/>"), "Error at line 3: -> A Control node must have at least 1 child"},
    {document("<ForceFailure/>"),
     "Error at line 3: -> The node <ForceFailure> must have exactly 1 child"},
    {document("<Action name='x'/>"),
     "Error at line 3: -> The node <Action> must have the attribute [ID]"},
    {"<root><BehaviorTree ID='A'><Stalls/></BehaviorTree><BehaviorTree "
     "ID='B'><Stalls/></BehaviorTree></root>",
     "[main_tree_to_execute] was not specified correctly"},
    {document("<Stalls typo='1'/>"),
     "Possible typo? In the XML, you tried to remap port \"typo\" in node [Stalls / Stalls], but "
     "the manifest of this node does not contain a port with this name."},
  };
  for (const auto & row : cases) {
    EXPECT_EQ(
      messageOf<BT::RuntimeError>([&] { factory.createTreeFromText(row.xml); }), row.message)
      << row.xml;
  }
  EXPECT_EQ(
    messageOf<BT::RuntimeError>(
      [&] { factory.createTreeFromFile(::testing::TempDir() + "missing.xml"); }),
    "Error parsing the XML: XML_ERROR_FILE_NOT_FOUND");
  EXPECT_EQ(
    messageOf<std::runtime_error>([&] {
      factory.createTreeFromText(
        "<root main_tree_to_execute='Nope'><BehaviorTree ID='A'><Stalls/></BehaviorTree></root>");
    }),
    "Can't find a tree with name: Nope");
  const std::string conflict = messageOf<BT::RuntimeError>(
    [&] { build("<Sequence><ReadInt in='{x}'/><ReadStatus in='{x}'/></Sequence>"); });
  EXPECT_EQ(
    conflict.rfind(
      "The creation of the tree failed because the port [x] was initially created with type "
      "[int] and, later type [",
      0),
    0u)
    << conflict;
}

TEST_F(PortsAndXml, AnEntryWrittenOnOneThreadIsReadWholeOnAnother)
{
  blackboard->set("text", std::string("0"));
  auto tree = build("<ReadInt name='reader' in='{text}'/>");
  std::thread writer([this] {
    for (int i = 1; i <= 500; i++) {
      blackboard->set("text", std::to_string(i * 1111));
    }
  });
  for (int i = 0; i < 500; i++) {
    tree.tickRoot();
    EXPECT_EQ(readOf("reader").value_or(1) % 1111, 0);
  }
  writer.join();
}
