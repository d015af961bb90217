#include <chrono>
#include <thread>

#include "scripted_tree.h"

using DecoratorNodes = ScriptedTree;
using namespace std::chrono_literals;

TEST_F(DecoratorNodes, InverterAndForcedResultsMapChildStatus)
{
  struct Case
  {
    const char * decorator;
    NodeStatus child;
    NodeStatus expected;
  };
  const Case cases[] = {
    {"Inverter", SUCCESS, FAILURE},     {"Inverter", FAILURE, SUCCESS},
    {"Inverter", RUNNING, RUNNING},     {"ForceSuccess", FAILURE, SUCCESS},
    {"ForceSuccess", RUNNING, RUNNING}, {"ForceFailure", SUCCESS, FAILURE},
    {"ForceFailure", RUNNING, RUNNING},
  };
  for (const Case & c : cases) {
    auto tree =
      build(std::string("<") + c.decorator + "><Leaf name='child'/></" + c.decorator + ">");
    script({{"child", c.child}});
    EXPECT_EQ(tree.tickRoot(), c.expected) << c.decorator << " over " << BT::toStr(c.child);
    // A finished child is set back to IDLE by its decorator.
    EXPECT_EQ(statusOf(tree, "child"), c.child == RUNNING ? RUNNING : IDLE) << c.decorator;
  }
}

TEST_F(DecoratorNodes, RepeatTicksSuccessfulChildWithinOneTick)
{
  auto tree = build("<Repeat num_cycles='3'><Leaf name='child'/></Repeat>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("child", 3, 0);

  script({{"child", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("child", 4, 0);

  // The count started over after the failure: three more successes are needed.
  script({{"child", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("child", 7, 0);
}

TEST_F(DecoratorNodes, RepeatResumesRunningChildAndForgetsCountOnHalt)
{
  auto tree = build("<Repeat num_cycles='2'><Leaf name='child'/></Repeat>");
  script({{"child", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  script({{"child", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("child", 3, 0);

  script({{"child", RUNNING}});
  tree.tickRoot();
  tree.rootNode()->halt();
  expectCounts("child", 4, 1);

  auto missing = build("<Repeat><Leaf name='x'/></Repeat>");
  EXPECT_THROW(missing.tickRoot(), BT::RuntimeError);
}

TEST_F(DecoratorNodes, RetryTicksFailingChildUpToAttempts)
{
  auto tree =
    build("<RetryUntilSuccessful num_attempts='3'><Leaf name='child'/></RetryUntilSuccessful>");
  script({{"child", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("child", 3, 0);

  script({{"child", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  script({{"child", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("child", 5, 0);
}

TEST_F(DecoratorNodes, KeepRunningUntilFailure)
{
  auto tree = build("<KeepRunningUntilFailure><Leaf name='child'/></KeepRunningUntilFailure>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(statusOf(tree, "child"), IDLE);
  script({{"child", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
}

TEST_F(DecoratorNodes, BlackboardCheckTicksChildOnlyWhileValuesMatch)
{
  auto tree = build(
    "<BlackboardCheckInt value_A='{level}' value_B='42' return_on_mismatch='SUCCESS'>"
    "<Leaf name='child'/></BlackboardCheckInt>");
  script({{"child", RUNNING}});

  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("child", 0, 0);

  blackboard->set("level", 42);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  blackboard->set("level", 7);
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  expectCounts("child", 1, 1);
}

TEST_F(DecoratorNodes, BlackboardCheckComparesAsItsType)
{
  blackboard->set("ratio", 0.5);
  blackboard->set("label", std::string("0.50"));
  auto as_double = build(
    "<BlackboardCheckDouble value_A='{ratio}' value_B='0.50'><Leaf name='d'/>"
    "</BlackboardCheckDouble>");
  EXPECT_EQ(as_double.tickRoot(), SUCCESS);

  auto as_string = build(
    "<BlackboardCheckString value_A='{label}' value_B='0.5'><Leaf name='s'/>"
    "</BlackboardCheckString>");
  EXPECT_EQ(as_string.tickRoot(), FAILURE);
  expectCounts("d", 1, 0);
  expectCounts("s", 0, 0);
}

TEST_F(DecoratorNodes, TimeoutHaltsRunningChildFromTimerAndFailsAtNextTick)
{
  auto tree = build("<Timeout msec='20'><Leaf name='child'/></Timeout>");
  script({{"child", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);

  // The timer halts the child without a tick and wakes the sleeping tree.
  const auto start = std::chrono::steady_clock::now();
  while (leaf("child").halts == 0 && std::chrono::steady_clock::now() - start < 5s) {
    tree.sleep(1s);
  }
  expectCounts("child", 1, 1);
  EXPECT_EQ(statusOf(tree, "child"), IDLE);

  EXPECT_EQ(tree.tickRoot(), FAILURE);
  expectCounts("child", 1, 1);

  // A new run starts a new timeout.
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  EXPECT_EQ(leaf("child").ticks, 2);
}

TEST_F(DecoratorNodes, TimeoutPassesChildResultBeforeDeadline)
{
  auto tree = build("<Timeout msec='60000'><Leaf name='child'/></Timeout>");
  script({{"child", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  script({{"child", FAILURE}});
  EXPECT_EQ(tree.tickRoot(), FAILURE);
  script({{"child", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  tree.rootNode()->halt();
  expectCounts("child", 3, 1);
}

TEST_F(DecoratorNodes, DelayTicksChildOnlyAfterDelayAndKeepsTickingItWhileRunning)
{
  auto tree = build("<Delay delay_msec='20'><Leaf name='child'/></Delay>");
  script({{"child", RUNNING}});
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("child", 0, 0);

  // The end of the delay wakes the sleeping tree; a tick after it reaches the child.
  const auto start = std::chrono::steady_clock::now();
  while (leaf("child").ticks == 0 && std::chrono::steady_clock::now() - start < 5s) {
    tree.sleep(1s);
    tree.tickRoot();
  }
  EXPECT_EQ(leaf("child").ticks, 1);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("child", 2, 0);

  script({{"child", SUCCESS}});
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("child", 3, 0);
}

TEST_F(DecoratorNodes, HaltedDelayStartsOver)
{
  auto tree = build("<Delay delay_msec='60000'><Leaf name='child'/></Delay>");
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  tree.rootNode()->halt();
  EXPECT_EQ(tree.tickRoot(), RUNNING);
  expectCounts("child", 0, 0);
}

TEST_F(DecoratorNodes, ActionsAlwaysAndSetBlackboard)
{
  EXPECT_EQ(build("<AlwaysSuccess/>").tickRoot(), SUCCESS);
  EXPECT_EQ(build("<AlwaysFailure/>").tickRoot(), FAILURE);

  auto tree = build(
    "<Sequence><SetBlackboard output_key='plain' value='42'/>"
    "<SetBlackboard output_key='{pointer}' value='{plain}'/></Sequence>");
  EXPECT_EQ(tree.tickRoot(), SUCCESS);
  EXPECT_EQ(blackboard->get<int>("plain"), 42);
  EXPECT_EQ(blackboard->get<std::string>("pointer"), "42");

  auto missing_value = build("<SetBlackboard output_key='x'/>");
  EXPECT_THROW(missing_value.tickRoot(), BT::RuntimeError);
}
