#include <thread>
#include <utility>

#include "scripted_tree.h"

using TreeTick = ScriptedTree;

TEST_F(TreeTick, FinishedRootIsSetBackToIdleRunningRootStaysRunning)
{
  auto tree = build("<Sequence><Leaf name='a'/></Sequence>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(tree.rootNode()->status(), IDLE);

  script({{"a", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  EXPECT_EQ(tree.rootNode()->status(), IDLE);

  script({{"a", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.rootNode()->status(), RUNNING);
}

TEST_F(TreeTick, EmptyTreeRaises)
{
  BT::Tree empty;
  EXPECT_EQ(empty.rootNode(), nullptr);
  EXPECT_THROW(empty.tickRoot(), BT::RuntimeError);
}

TEST_F(TreeTick, HaltTreeAndDestructionHaltRunningNodes)
{
  {
    auto tree = build("<Sequence><Leaf name='a'/><Leaf name='b'/></Sequence>");
    script({{"b", RUNNING}});
    tree.tickRoot();
    tree.haltTree();
    EXPECT_EQ(leaf("b").halts.load(), 2) << "by its parent, then once more node by node";
    for (const auto & node : tree.nodes) {
      EXPECT_EQ(node->status(), IDLE) << node->name();
    }
  }
  {
    auto tree = build("<Inverter><Leaf name='c'/></Inverter>");
    script({{"c", RUNNING}});
    tree.tickRoot();
  }
  EXPECT_EQ(leaf("c").halts.load(), 2) << "destruction halts the tree as haltTree does";
}

TEST_F(TreeTick, MovedTreeKeepsItsNodesAndReplacedTreeIsHalted)
{
  auto first = build("<Leaf name='a'/>");
  script({{"a", RUNNING}, {"b", RUNNING}});
  first.tickRoot();

  BT::Tree moved(std::move(first));
  EXPECT_THROW(first.tickRoot(), BT::RuntimeError);
  EXPECT_EQ(moved.tickRoot(), RUNNING);
  expectCounts("a", 2, 0);

  moved = build("<Leaf name='b'/>");
  EXPECT_GE(leaf("a").halts.load(), 1);
  EXPECT_EQ(moved.rootNode()->name(), "b");
}

TEST_F(TreeTick, SleepEndsAtTimeoutOrWhenANodeReportsChange)
{
  auto tree = build("<Leaf name='a'/>");
  tree.sleep(std::chrono::milliseconds(5));

  std::thread reporter([&tree] { tree.rootNode()->emitStateChanged(); });
  tree.sleep(std::chrono::seconds(30));
  reporter.join();
}
