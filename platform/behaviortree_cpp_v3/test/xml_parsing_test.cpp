#include <cstdio>
#include <fstream>
#include <string>

#include "scripted_tree.h"

using XmlParsing = ScriptedTree;

TEST_F(XmlParsing, MainTreeIsChosenByAttributeOrIsTheLoneTree)
{
  const std::string two_trees =
    "<root main_tree_to_execute='Second'>"
    "<BehaviorTree ID='First'><Leaf name='first'/></BehaviorTree>"
    "<BehaviorTree ID='Second'><Leaf name='second'/></BehaviorTree>"
    "<TreeNodesModel><Action ID='Leaf'><input_port name='unused'/></Action></TreeNodesModel>"
    "</root>";
  auto chosen = factory.createTreeFromText(two_trees);
  EXPECT_EQ(chosen.rootNode()->name(), "second");
  EXPECT_EQ(chosen.nodes.size(), 1u);

  auto lone =
    factory.createTreeFromText("<root><BehaviorTree><Leaf name='x'/></BehaviorTree></root>");
  EXPECT_EQ(lone.rootNode()->name(), "x");
}

TEST_F(XmlParsing, ExplicitAndCompactFormsBuildTheSameNodes)
{
  factory.registerSimpleCondition("Ready", [](BT::TreeNode &) { return SUCCESS; });
  auto tree = build(
    "<Control ID='Sequence' name='main'>"
    "<Condition ID='Ready'/>"
    "<Decorator ID='Inverter'><Action ID='Leaf' name='a'/></Decorator>"
    "<Ready name='again'/>"
    "</Control>");
  ASSERT_EQ(tree.nodes.size(), 5u);
  EXPECT_EQ(tree.nodes[0]->name(), "main");
  EXPECT_EQ(tree.nodes[0]->registrationName(), "Sequence");
  EXPECT_EQ(tree.nodes[1]->name(), "Ready");
  EXPECT_EQ(tree.nodes[1]->type(), BT::NodeType::CONDITION);
  EXPECT_EQ(tree.nodes[2]->type(), BT::NodeType::DECORATOR);
  EXPECT_EQ(tree.nodes[4]->name(), "again");
  script({{"a", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
}

TEST_F(XmlParsing, FileIsReadAndMissingFileRaises)
{
  const std::string path = ::testing::TempDir() + "bt_xml_parsing_test.xml";
  std::ofstream(path)
    << "<root><BehaviorTree ID='T'><Leaf name='from_file'/></BehaviorTree></root>";
  auto tree = factory.createTreeFromFile(path);
  EXPECT_EQ(tree.rootNode()->name(), "from_file");
  std::remove(path.c_str());

  EXPECT_THROW(factory.createTreeFromFile(path), BT::RuntimeError);
}

TEST_F(XmlParsing, InvalidDocumentsRaiseRuntimeErrorSayingWhy)
{
  factory.registerSimpleAction(
    "Say", [](BT::TreeNode &) { return SUCCESS; }, {BT::InputPort<std::string>("text")});
  struct Case
  {
    const char * xml;
    const char * message;
  };
  const Case cases[] = {
    {"<root><BehaviorTree><Leaf name='x'/></BehaviorTree>", "Error parsing the XML"},
    {"<tree><BehaviorTree><Leaf/></BehaviorTree></tree>", "root node called <root>"},
    {"<root main_tree_to_execute='Nope'><BehaviorTree ID='T'><Leaf/></BehaviorTree></root>",
     "[main_tree_to_execute] can't be found"},
    {"<root><BehaviorTree ID='A'><Leaf/></BehaviorTree><BehaviorTree ID='B'><Leaf/>"
     "</BehaviorTree></root>",
     "must contain a single BehaviorTree"},
    {"<root></root>", "must contain a single BehaviorTree"},
    {"<root><BehaviorTree ID='T'><Unknown/></BehaviorTree></root>", "Node not recognized: Unknown"},
    {"<root><BehaviorTree ID='T'><Action ID='Unknown'/></BehaviorTree></root>",
     "ID [Unknown] not registered"},
    {"<root><BehaviorTree ID='T'><Say txt='hi'/></BehaviorTree></root>",
     "remap port \"txt\" in node [Say / Say]"},
    {"<root><BehaviorTree ID='T'><Inverter><Leaf/><Leaf/></Inverter></BehaviorTree></root>",
     "line 1: -> The node <Inverter> must have exactly 1 child"},
    {"<root><BehaviorTree ID='T'><Leaf><Leaf/></Leaf></BehaviorTree></root>",
     "The node <Leaf> must not have any child"},
    {"<root><BehaviorTree ID='T'><Sequence/></BehaviorTree></root>",
     "The node <Sequence> must have 1 or more children"},
    {"<root><BehaviorTree ID='T'><Action name='x'/></BehaviorTree></root>",
     "The node <Action> must have the attribute [ID]"},
    {"<root><BehaviorTree ID='T'><Leaf/><Leaf/></BehaviorTree></root>",
     "<BehaviorTree> must have exactly 1 child"},
    {"<root><BehaviorTree ID='T'><SubTree ID='Gone'/></BehaviorTree></root>",
     "missing BehaviorTree [Gone]"},
    {"<root main_tree_to_execute='A'><BehaviorTree ID='A'><SubTree ID='B'/></BehaviorTree>"
     "<BehaviorTree ID='B'><SubTree ID='A'/></BehaviorTree></root>",
     "[A] includes itself"},
  };
  for (const Case & c : cases) {
    try {
      factory.createTreeFromText(c.xml);
      ADD_FAILURE() << "no error for " << c.xml;
    } catch (const BT::RuntimeError & error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
        << c.xml << "\n  raised: " << error.what();
    }
  }
}

TEST_F(XmlParsing, FailedBuildReleasesTheNodesBuiltSoFar)
{
  EXPECT_THROW(
    build("<Sequence><Timeout msec='5'><Leaf name='first'/></Timeout><Missing/></Sequence>"),
    BT::RuntimeError);
  EXPECT_THROW(
    build("<Sequence><Timeout msec='5'><Leaf name='first'/></Timeout><Action ID='Missing'/>"
          "</Sequence>"),
    BT::RuntimeError);
}
