#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "scripted_tree.hpp"

class Nodes : public ScriptedTree
{
};

TEST_F(Nodes, SequenceAndFallbackResumeTheRunningChildAndStartOverWhenDecided)
{
  // Sequence goes on while children succeed; Fallback while they fail.
  for (const auto & [control, go_on, decide] :
       {std::make_tuple("Sequence", SUCCESS, FAILURE),
        std::make_tuple("Fallback", FAILURE, SUCCESS)}) {
    SCOPED_TRACE(control);
    const std::string name = control;
    script({{name + "a", go_on}, {name + "b", RUNNING}, {name + "c", go_on}});
    auto tree = build(
      "<" + name + "><Leaf name='" + name + "a'/><Leaf name='" + name + "b'/><Leaf name='" + name +
      "c'/></" + name + ">");
    EXPECT_EQ(tree.tickRoot(), RUNNING);
    EXPECT_EQ(tree.tickRoot(), RUNNING);
    expectCounts(name + "a", 1, 0);
    expectCounts(name + "b", 2, 0);

    leaf(name + "b").result = decide;
    EXPECT_EQ(tree.tickRoot(), decide);
    expectCounts(name + "c", 0, 0);
    EXPECT_EQ(statusOf(tree, name + "b"), IDLE);

    leaf(name + "b").result = go_on;
    EXPECT_EQ(tree.tickRoot(), go_on);
    expectCounts(name + "a", 2, 0);
    expectCounts(name + "c", 1, 0);
  }
}

TEST_F(Nodes, ReactiveNodesTickFromTheFirstChildAndHaltEveryOtherOnRunning)
{
  // A later child running from an earlier tick is halted when an earlier one starts running.
  script({{"x", FAILURE}, {"y", RUNNING}});
  auto fallback = build("<ReactiveFallback><Leaf name='x'/><Leaf name='y'/></ReactiveFallback>");
  EXPECT_EQ(fallback.tickRoot(), RUNNING);
  leaf("x").result = RUNNING;
  EXPECT_EQ(fallback.tickRoot(), RUNNING);
  expectCounts("y", 1, 1);
  EXPECT_EQ(statusOf(fallback, "y"), IDLE);
  leaf("x").result = SUCCESS;
  EXPECT_EQ(fallback.tickRoot(), SUCCESS);
  expectCounts("x", 3, 0);

  script({{"guard", SUCCESS}, {"work", RUNNING}});
  auto sequence =
    build("<ReactiveSequence><Leaf name='guard'/><Leaf name='work'/></ReactiveSequence>");
  EXPECT_EQ(sequence.tickRoot(), RUNNING);
  EXPECT_EQ(sequence.tickRoot(), RUNNING);
  expectCounts("guard", 2, 0);
  leaf("guard").result = FAILURE;
  EXPECT_EQ(sequence.tickRoot(), FAILURE);
  expectCounts("work", 2, 1);
  EXPECT_EQ(statusOf(sequence, "work"), IDLE);
}

TEST_F(Nodes, RoutingByGuardsHandsTheTickToTheBranchWhoseGuardPasses)
{
  script({{"guard1", SUCCESS}, {"work1", RUNNING}, {"guard2", FAILURE}, {"work2", RUNNING}});
  auto tree = build(
    "<ReactiveFallback>"
    "<ReactiveSequence name='one'><Leaf name='guard1'/><Leaf name='work1'/></ReactiveSequence>"
    "<ReactiveSequence name='two'><Leaf name='guard2'/><Leaf name='work2'/></ReactiveSequence>"
    "</ReactiveFallback>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  script({{"guard1", FAILURE}, {"guard2", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("work1", 1, 1);
  expectCounts("work2", 1, 0);
  EXPECT_EQ(statusOf(tree, "one"), IDLE);
  EXPECT_EQ(statusOf(tree, "two"), RUNNING);
}

TEST_F(Nodes, DecoratorsTranslateTheirChildsResult)
{
  const struct
  {
    const char * decorator;
    NodeStatus on_success;
    NodeStatus on_failure;
  } decorators[] = {
    {"ForceFailure", FAILURE, FAILURE},
    {"Inverter", FAILURE, SUCCESS},
    {"KeepRunningUntilFailure", RUNNING, FAILURE},
  };
  for (const auto & row : decorators) {
    const std::string name = row.decorator;
    auto tree = build("<" + name + "><Leaf name='" + name + "'/></" + name + ">");
    for (const auto & [child, expected] :
         {std::make_pair(SUCCESS, row.on_success), std::make_pair(FAILURE, row.on_failure),
          std::make_pair(RUNNING, RUNNING)}) {
      leaf(name).result = child;
      EXPECT_EQ(tree.tickRoot(), expected) << name << " over " << BT::toStr(child);
    }
  }

  leaf("repeated").result = SUCCESS;
  EXPECT_EQ(build("<Repeat num_cycles='3'><Leaf name='repeated'/></Repeat>").tickRoot(), SUCCESS);
  expectCounts("repeated", 3, 1);
  EXPECT_THROW(
    build("<Repeat num_cycles='{missing}'><Leaf name='repeated'/></Repeat>").tickRoot(),
    BT::RuntimeError);
}

TEST_F(Nodes, BlackboardCheckIntTicksTheChildOnlyWhileTheValuesMatch)
{
  blackboard->set("mode", 3);
  script({{"guarded", RUNNING}});
  auto checked = build(
    "<BlackboardCheckInt value_A='{mode}' value_B='3' return_on_mismatch='SUCCESS'>"
    "<Leaf name='guarded'/></BlackboardCheckInt>");
  EXPECT_EQ(checked.tickRoot(), RUNNING);
  blackboard->set("mode", 4);
  EXPECT_EQ(checked.tickRoot(), SUCCESS);
  expectCounts("guarded", 1, 1);
  EXPECT_EQ(statusOf(checked, "guarded"), IDLE);
}

TEST_F(Nodes, WhileDoElseLeavesBothBranchesAloneWhileItsConditionRuns)
{
  // The deployment's goals branch: a running condition neither ticks nor halts a running goal.
  blackboard->set("thread_tick", 1);
  script({{"goal", RUNNING}});
  auto tree = build(
    "<WhileDoElse>"
    "<BlackboardCheckInt value_A='{thread_tick}' value_B='1' return_on_mismatch='RUNNING'>"
    "<AlwaysSuccess/></BlackboardCheckInt>"
    "<Leaf name='goal'/><AlwaysFailure/></WhileDoElse>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  blackboard->set("thread_tick", 0);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("goal", 1, 0);
  EXPECT_EQ(statusOf(tree, "goal"), RUNNING);

  blackboard->set("thread_tick", 1);
  leaf("goal").result = SUCCESS;
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("goal", 2, 0);
  EXPECT_THROW(
    build("<WhileDoElse><AlwaysSuccess/><AlwaysFailure/></WhileDoElse>").tickRoot(),
    std::logic_error);
}

TEST_F(Nodes, HaltingLeavesTheHaltedControlRunningAndTheTreeHaltsEveryNode)
{
  script({{"work", RUNNING}});
  auto tree = build("<Sequence name='root'><Leaf name='work'/></Sequence>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  tree.rootNode()->halt();
  EXPECT_EQ(tree.rootNode()->status(), RUNNING);
  EXPECT_EQ(statusOf(tree, "work"), IDLE);
  expectCounts("work", 1, 1);

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  tree.haltTree();
  EXPECT_EQ(tree.rootNode()->status(), IDLE);
  EXPECT_EQ(statusOf(tree, "work"), IDLE);

  leaf("work").result = SUCCESS;
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(tree.rootNode()->status(), IDLE);

  leaf("work").result = IDLE;
  EXPECT_THROW(tree.tickRoot(), BT::LogicError);
  EXPECT_THROW(BT::Tree().tickRoot(), BT::RuntimeError);
}

TEST_F(Nodes, DestroyingATreeHaltsItButReplacingItByMoveDoesNot)
{
  script({{"old", RUNNING}, {"new", RUNNING}});
  {
    auto tree = build("<Leaf name='old'/>");
    EXPECT_EQ(tree.tickRoot(), RUNNING);
    BT::Tree moved = std::move(tree);
    EXPECT_EQ(moved.rootNode()->name(), "old");
    moved = build("<Leaf name='new'/>");
    expectCounts("old", 1, 0);
    EXPECT_EQ(moved.tickRoot(), RUNNING);
  }
  // The root is halted, then every node again.
  expectCounts("new", 1, 2);
}
