#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "scripted_tree.hpp"

using Nodes = ScriptedTree;

TEST_F(Nodes, SequenceAndFallbackResumeTheRunningChildAndStartOverWhenDecided)
{
  // Sequence goes on while children succeed; Fallback while they fail.
  for (const auto & [control, go_on, decide] :
       {std::make_tuple("Sequence", SUCCESS, FAILURE),
        std::make_tuple("Fallback", FAILURE, SUCCESS)}) {
    SCOPED_TRACE(control);
    const std::string type = control, a = type + "a", b = type + "b", c = type + "c";
    script({{a, go_on}, {b, RUNNING}, {c, go_on}});
    auto tree = build("<" + type + ">" + leaves({a, b, c}) + "</" + type + ">");
    EXPECT_EQ(tree.tickRoot(), RUNNING);
    EXPECT_EQ(tree.tickRoot(), RUNNING);
    expectCounts(a, 1, 0);
    expectCounts(b, 2, 0);

    leaf(b).result = decide;
    EXPECT_EQ(tree.tickRoot(), decide);
    expectCounts(c, 0, 0);
    EXPECT_EQ(statusOf(tree, b), IDLE);

    leaf(b).result = go_on;
    EXPECT_EQ(tree.tickRoot(), go_on);
    expectCounts(a, 2, 0);
    expectCounts(c, 1, 0);
  }
}

TEST_F(Nodes, ReactiveRoutingTicksFromTheFirstBranchAndHaltsEveryOtherOnRunning)
{
  // The deployment's routing: a branch runs while its guard passes and no earlier branch runs.
  script({{"guard1", FAILURE}, {"work1", RUNNING}, {"guard2", SUCCESS}, {"work2", RUNNING}});
  auto tree = build(
    "<ReactiveFallback><ReactiveSequence name='one'>" + leaves({"guard1", "work1"}) +
    "</ReactiveSequence><ReactiveSequence name='two'>" + leaves({"guard2", "work2"}) +
    "</ReactiveSequence></ReactiveFallback>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("guard1", 2, 0);
  expectCounts("guard2", 2, 0);

  leaf("guard1").result = SUCCESS;
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("work2", 2, 1);
  EXPECT_EQ(statusOf(tree, "two"), IDLE);

  leaf("guard1").result = FAILURE;
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("work1", 1, 1);
  expectCounts("work2", 3, 1);
  EXPECT_EQ(statusOf(tree, "one"), IDLE);
  EXPECT_EQ(statusOf(tree, "two"), RUNNING);

  leaf("guard2").result = FAILURE;
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("work2", 3, 2);
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
    auto tree = build("<" + name + ">" + leaves({name}) + "</" + name + ">");
    for (const auto & [child, expected] :
         {std::make_pair(SUCCESS, row.on_success), std::make_pair(FAILURE, row.on_failure),
          std::make_pair(RUNNING, RUNNING)}) {
      leaf(name).result = child;
      EXPECT_EQ(tree.tickRoot(), expected) << name << " over " << BT::toStr(child);
    }
  }

  EXPECT_EQ(build("<Repeat num_cycles='3'><Leaf name='repeated'/></Repeat>").tickRoot(), SUCCESS);
  expectCounts("repeated", 3, 1);
  EXPECT_THROW(
    build("<Repeat num_cycles='{missing}'><Leaf name='repeated'/></Repeat>").tickRoot(),
    BT::RuntimeError);
}

TEST_F(Nodes, WhileDoElseWaitsOnARunningConditionAndBlackboardCheckIntHaltsOnMismatch)
{
  // The deployment's goals branch: a running condition neither ticks nor halts a running goal.
  blackboard->set("one_shot", 0);
  blackboard->set("mode", 3);
  script({{"goal", RUNNING}});
  auto tree = build(
    "<WhileDoElse>"
    "<BlackboardCheckInt value_A='{one_shot}' value_B='0' return_on_mismatch='RUNNING'>"
    "<AlwaysSuccess/></BlackboardCheckInt>"
    "<BlackboardCheckInt value_A='{mode}' value_B='3' return_on_mismatch='SUCCESS'>"
    "<Leaf name='goal'/></BlackboardCheckInt>"
    "<AlwaysFailure/></WhileDoElse>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  blackboard->set("one_shot", 1);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("goal", 1, 0);
  EXPECT_EQ(statusOf(tree, "goal"), RUNNING);

  blackboard->set("one_shot", 0);
  blackboard->set("mode", 4);
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("goal", 1, 1);
  EXPECT_EQ(statusOf(tree, "goal"), IDLE);
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
    moved = build("<Leaf name='new'/>");
    expectCounts("old", 1, 0);
    EXPECT_EQ(moved.tickRoot(), RUNNING);
  }
  // The root is halted, then every node again.
  expectCounts("new", 1, 2);
}
