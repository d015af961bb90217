#include <stdexcept>

#include "scripted_tree.h"

using ControlNodes = ScriptedTree;

TEST_F(ControlNodes, SequenceResumesAtRunningChildAndRestartsAfterFinishing)
{
  auto tree = build("<Sequence><Leaf name='a'/><Leaf name='b'/><Leaf name='c'/></Sequence>");
  script({{"a", SUCCESS}, {"b", RUNNING}, {"c", SUCCESS}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("a", 1, 0);
  expectCounts("b", 2, 0);
  expectCounts("c", 0, 0);

  script({{"b", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("b", 3, 0);
  expectCounts("c", 1, 0);
  for (const char * name : {"a", "b", "c"}) {
    EXPECT_EQ(statusOf(tree, name), IDLE) << name;
  }

  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("a", 2, 0);
}

TEST_F(ControlNodes, SequenceFailureResetsAllChildrenAndStartsOverFromFirst)
{
  auto tree = build("<Sequence><Leaf name='a'/><Leaf name='b'/><Leaf name='c'/></Sequence>");
  script({{"a", SUCCESS}, {"b", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);

  script({{"b", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  EXPECT_EQ(statusOf(tree, "a"), IDLE);
  EXPECT_EQ(statusOf(tree, "b"), IDLE);
  expectCounts("b", 2, 0);

  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("a", 2, 0);
  expectCounts("c", 0, 0);
}

TEST_F(ControlNodes, SequenceHaltStopsRunningChildAndForgetsResumePoint)
{
  auto tree = build("<Sequence><Leaf name='a'/><Leaf name='b'/></Sequence>");
  script({{"a", SUCCESS}, {"b", RUNNING}});
  tree.tickRoot();

  tree.rootNode()->halt();
  expectCounts("a", 1, 0);
  expectCounts("b", 1, 1);
  EXPECT_EQ(tree.rootNode()->status(), IDLE);

  tree.tickRoot();
  expectCounts("a", 2, 0);
}

TEST_F(ControlNodes, SequenceStarKeepsResumePointOnFailure)
{
  auto tree =
    build("<SequenceStar><Leaf name='a'/><Leaf name='b'/><Leaf name='c'/></SequenceStar>");
  script({{"a", SUCCESS}, {"b", FAILURE}, {"c", SUCCESS}});

  EXPECT_EQ(tree.tickRoot(), FAILURE);
  EXPECT_EQ(statusOf(tree, "a"), SUCCESS);
  EXPECT_EQ(statusOf(tree, "b"), IDLE);

  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("a", 1, 0);
  expectCounts("b", 2, 0);

  script({{"b", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("a", 1, 0);
  expectCounts("c", 1, 0);

  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("a", 2, 0);
}

TEST_F(ControlNodes, SequenceStarHaltStartsOverFromFirst)
{
  auto tree = build("<SequenceStar><Leaf name='a'/><Leaf name='b'/></SequenceStar>");
  script({{"a", SUCCESS}, {"b", FAILURE}});
  tree.tickRoot();
  tree.rootNode()->halt();
  tree.tickRoot();
  expectCounts("a", 2, 0);
}

TEST_F(ControlNodes, ReactiveSequenceRetriesEarlierChildrenEveryTick)
{
  auto tree = build(
    "<ReactiveSequence><Leaf name='check'/><Leaf name='work'/><Leaf name='after'/>"
    "</ReactiveSequence>");
  script({{"check", SUCCESS}, {"work", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("check", 2, 0);
  expectCounts("work", 2, 0);

  script({{"check", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("work", 2, 1);
  EXPECT_EQ(statusOf(tree, "work"), IDLE);
  expectCounts("after", 0, 0);
}

TEST_F(ControlNodes, ReactiveSequenceHaltsLaterChildrenWhenAnEarlierOneRuns)
{
  auto tree = build("<ReactiveSequence><Leaf name='a'/><Leaf name='b'/></ReactiveSequence>");
  script({{"a", SUCCESS}, {"b", RUNNING}});
  tree.tickRoot();

  script({{"a", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("b", 1, 1);

  script({{"a", SUCCESS}, {"b", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(statusOf(tree, "a"), IDLE);
}

TEST_F(ControlNodes, FallbackResumesAtRunningChildAndStopsAtFirstSuccess)
{
  auto tree = build("<Fallback><Leaf name='a'/><Leaf name='b'/><Leaf name='c'/></Fallback>");
  script({{"a", FAILURE}, {"b", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("a", 1, 0);
  expectCounts("b", 2, 0);

  script({{"b", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("c", 0, 0);
  EXPECT_EQ(statusOf(tree, "a"), IDLE);

  script({{"b", FAILURE}, {"c", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("a", 2, 0);
  expectCounts("c", 1, 0);
}

// The shape of a deployment tree: a Fallback over guarded Sequences. Once a branch runs, its
// guard is not checked again until the branch finishes or is halted.
TEST_F(ControlNodes, FallbackOverGuardedSequencesResumesRunningBranchWithoutItsGuard)
{
  auto tree = build(
    "<Fallback>"
    "<Sequence><Leaf name='guard1'/><Leaf name='work1'/></Sequence>"
    "<Sequence><Leaf name='guard2'/><Leaf name='work2'/></Sequence>"
    "</Fallback>");
  script({{"guard1", FAILURE}, {"guard2", SUCCESS}, {"work2", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("guard1", 1, 0);
  expectCounts("guard2", 1, 0);
  expectCounts("work2", 2, 0);

  tree.rootNode()->halt();
  expectCounts("work2", 2, 1);
  tree.tickRoot();
  expectCounts("guard1", 2, 0);
}

TEST_F(ControlNodes, ReactiveFallbackRetriesEarlierChildrenAndHaltsOnSuccess)
{
  auto tree = build("<ReactiveFallback><Leaf name='done'/><Leaf name='work'/></ReactiveFallback>");
  script({{"done", FAILURE}, {"work", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("done", 2, 0);

  script({{"done", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("work", 2, 1);

  script({{"done", FAILURE}, {"work", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
}

TEST_F(ControlNodes, ParallelCountsFinishedChildrenWithoutTickingThemAgain)
{
  auto tree = build(
    "<Parallel success_threshold='2'><Leaf name='a'/><Leaf name='b'/><Leaf name='c'/>"
    "</Parallel>");
  script({{"a", SUCCESS}, {"b", RUNNING}, {"c", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("a", 1, 0);
  expectCounts("b", 2, 0);

  script({{"b", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("c", 2, 1);
  for (const char * name : {"a", "b", "c"}) {
    EXPECT_EQ(statusOf(tree, name), IDLE) << name;
  }

  script({{"b", RUNNING}});
  tree.tickRoot();
  expectCounts("a", 2, 0);
}

TEST_F(ControlNodes, ParallelFailsAtFailureThresholdOrWhenSuccessIsUnreachable)
{
  auto first_failure =
    build("<Parallel success_threshold='1'><Leaf name='runs'/><Leaf name='fails'/></Parallel>");
  script({{"runs", RUNNING}, {"fails", FAILURE}});
  EXPECT_EQ(first_failure.tickRoot(), FAILURE);
  expectCounts("runs", 1, 1);

  auto unreachable = build(
    "<Parallel success_threshold='-1' failure_threshold='2'>"
    "<Leaf name='x'/><Leaf name='y'/><Leaf name='z'/></Parallel>");
  script({{"x", FAILURE}, {"y", RUNNING}, {"z", RUNNING}});
  EXPECT_EQ(unreachable.tickRoot(), FAILURE);
  expectCounts("z", 0, 0);
}

TEST_F(ControlNodes, ParallelNegativeThresholdCountsFromChildren)
{
  auto tree = build("<Parallel success_threshold='-1'><Leaf name='a'/><Leaf name='b'/></Parallel>");
  script({{"a", SUCCESS}, {"b", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  script({{"b", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
}

TEST_F(ControlNodes, ParallelRefusesBadThresholds)
{
  auto too_high =
    build("<Parallel success_threshold='3'><Leaf name='a'/><Leaf name='b'/></Parallel>");
  EXPECT_THROW(too_high.tickRoot(), BT::LogicError);

  auto missing = build("<Parallel><Leaf name='a'/></Parallel>");
  EXPECT_THROW(missing.tickRoot(), BT::RuntimeError);
}

TEST_F(ControlNodes, IfThenElseResumesSelectedBranchWithoutCondition)
{
  auto tree =
    build("<IfThenElse><Leaf name='if'/><Leaf name='then'/><Leaf name='else'/></IfThenElse>");
  script({{"if", SUCCESS}, {"then", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("if", 1, 0);
  expectCounts("then", 2, 0);

  script({{"then", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  EXPECT_EQ(statusOf(tree, "if"), IDLE);

  script({{"if", FAILURE}, {"else", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("if", 2, 0);
  expectCounts("else", 1, 0);
}

TEST_F(ControlNodes, IfThenElseWithoutElseFailsWhenConditionFails)
{
  auto tree = build("<IfThenElse><Leaf name='if'/><Leaf name='then'/></IfThenElse>");
  script({{"if", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("then", 0, 0);

  auto four = build(
    "<IfThenElse><Leaf name='p'/><Leaf name='q'/><Leaf name='r'/><Leaf name='s'/></IfThenElse>");
  EXPECT_THROW(four.tickRoot(), std::logic_error);
}

TEST_F(ControlNodes, WhileDoElseChecksConditionEveryTickAndSwitchesBranch)
{
  auto tree =
    build("<WhileDoElse><Leaf name='while'/><Leaf name='do'/><Leaf name='else'/></WhileDoElse>");
  script({{"while", SUCCESS}, {"do", RUNNING}, {"else", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("while", 2, 0);

  script({{"while", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("do", 2, 1);
  expectCounts("else", 1, 0);

  script({{"else", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(statusOf(tree, "while"), IDLE);

  auto two = build("<WhileDoElse><Leaf name='p'/><Leaf name='q'/></WhileDoElse>");
  EXPECT_THROW(two.tickRoot(), std::logic_error);
}

TEST_F(ControlNodes, SwitchTicksMatchingCaseAndHaltsThePreviousOne)
{
  auto tree = build(
    "<Switch2 variable='{mode}' case_1='dock' case_2='clean'>"
    "<Leaf name='docking'/><Leaf name='cleaning'/><Leaf name='default'/></Switch2>");
  script({{"docking", RUNNING}, {"cleaning", RUNNING}, {"default", SUCCESS}});

  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("default", 1, 0);

  blackboard->set("mode", std::string("clean"));
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  blackboard->set("mode", std::string("dock"));
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("cleaning", 1, 1);
  expectCounts("docking", 1, 0);

  blackboard->set("mode", std::string("other"));
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("docking", 1, 1);
}

TEST_F(ControlNodes, SwitchRefusesWrongNumberOfChildren)
{
  auto tree = build("<Switch3 variable='x'><Leaf name='a'/><Leaf name='b'/></Switch3>");
  EXPECT_THROW(tree.tickRoot(), BT::LogicError);
}

TEST_F(ControlNodes, ChildReturningIdleIsRefused)
{
  auto tree = build("<Sequence><Leaf name='a'/></Sequence>");
  script({{"a", IDLE}});
  EXPECT_THROW(tree.tickRoot(), BT::LogicError);
}
