// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

#include "engine_fixture.hpp"

namespace
{

namespace fs = std::filesystem;
using engine_test::EngineTest;

// Every tick of it raises: its port names a blackboard entry that does not exist.
const std::string kRaises = R"(<Repeat num_cycles="{missing}"><AlwaysSuccess/></Repeat>)";
// Runs while the current request is for model 2 or 4 with a command they accept.
const std::string kRunsWhileNavigating =
  "<KeepRunningUntilFailure><Fallback><NavigationSentinel/><SweepSentinel/></Fallback>"
  "</KeepRunningUntilFailure>";
const std::string kTickFailed = "behavior_tree tick failed: ";

TEST_F(EngineTest, ModelIdsWithoutHandlerLeaveResponseAndCurrentRequestAlone)
{
  InitTree("<AlwaysSuccess/>");
  const Sent known = Send(4, 5);
  EXPECT_TRUE(known.handled);
  for (int model_id : {0, 7, -1}) {
    const Sent sent = Send(model_id, 1);
    EXPECT_FALSE(sent.handled);
    EXPECT_EQ(sent.response->result, 0);
    EXPECT_EQ(sent.response->message, "");
    EXPECT_EQ(sent.response->error_code, 0);
    EXPECT_EQ(log_->Count("don't find func match model ID " + std::to_string(model_id)), 1u);
  }
  EXPECT_EQ(engine()->GetRequest(), known.request);
}

// Every tick raises, so a request that ticks is answered "Failure", one that does not "Success".
TEST_F(EngineTest, OnlyTickingRequestsReachTheTree)
{
  InitTree(kRaises);
  for (int model_id : {1, 3, 5, 6}) {
    for (int cmd : {1, 101, 201, 999}) {
      const Sent sent = Send(model_id, cmd);
      EXPECT_EQ(sent.response->result, 1) << model_id << "/" << cmd;
      EXPECT_EQ(sent.response->message, "Failure");
      EXPECT_TRUE(StatusCleared());
    }
  }
  EXPECT_EQ(log_->Count("behavior_tree action finished"), 16u);
  for (int model_id : {2, 4}) {
    EXPECT_EQ(Send(model_id, 201).response->message, "Failure");
    for (int cmd : {2, 4, 5, 8, 202, 403, 0}) {
      const Sent sent = Send(model_id, cmd);
      EXPECT_EQ(sent.response->result, 0) << model_id << "/" << cmd;
      EXPECT_EQ(sent.response->message, "Success");
      EXPECT_EQ(engine()->GetRequest(), sent.request);
    }
  }
  EXPECT_FALSE(engine()->IsTicking());
  EXPECT_EQ(log_->Count(kTickFailed), 18u);
  EXPECT_EQ(log_->Count("behavior_tree action finished"), 16u);
}

TEST_F(EngineTest, MoveAndWorkStartOneThreadThatLaterRequestsSteer)
{
  InitTree("<Fallback>" + kRunsWhileNavigating + "<LocationSentinel/></Fallback>");
  const auto count_threads = [] {
    return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator());
  };
  const auto threads_before = count_threads();
  const std::pair<int, int> steering[] = {{2, 101}, {4, 102}, {2, 101}, {2, 4}, {4, 403}};
  for (const auto & [model_id, cmd] : steering) {
    EXPECT_EQ(Send(model_id, cmd).response->message, "Success");
    EXPECT_TRUE(engine()->IsTicking());
  }
  EXPECT_EQ(count_threads(), threads_before + 1);

  // Ticks once here, after the thread's tick in progress; the thread's next tick reads this
  // request too, and ends the thread.
  const Sent location = Send(1, 5);
  EXPECT_EQ(location.response->message, "Success");
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->Count("cmd:5 is not support by model:1"), 1u);
  EXPECT_EQ(log_->Count("cmd:5 is not support by model:1", false), 1u);
  EXPECT_EQ(log_->Count("behavior_tree action finished"), 1u);
  EXPECT_EQ(engine()->GetRequest(), location.request);
  EXPECT_TRUE(StatusCleared());
}

TEST_F(EngineTest, QuickMoveRequestsNeverStartASecondThread)
{
  InitTree("<NavigationSentinel/>");  // the thread ends after its first tick
  const auto send_moves = [] {
    for (int i = 0; i < 50; ++i) {
      EXPECT_EQ(Send(2, 101).response->message, "Success");
    }
  };
  std::thread other(send_moves);
  send_moves();
  other.join();
  EXPECT_TRUE(WaitUntilIdle());
}

TEST_F(EngineTest, RaisingTickForARequestIsLoggedAnsweredFailureAndHaltsTheTree)
{
  std::string reason;
  try {
    BT::BehaviorTreeFactory().createTreeFromText(TreeXml(kRaises)).tickRoot();
  } catch (const std::exception & error) {
    reason = error.what();
  }
  InitTree("<Fallback><Inverter><LocationSentinel/></Inverter>" + kRaises + "</Fallback>");
  const Sent location = Send(1, 1);
  EXPECT_EQ(location.response->result, 1);
  EXPECT_EQ(location.response->message, "Failure");
  EXPECT_EQ(log_->Count(kTickFailed + reason), 1u);
  EXPECT_TRUE(StatusCleared());
  // Halted: this tick starts from the first child again instead of the raising one.
  EXPECT_EQ(Send(3, 4).response->message, "Success");
}

TEST_F(EngineTest, RaisingTickOnTheThreadEndsItAndHaltsTheTree)
{
  InitTree(
    "<Fallback>" + kRunsWhileNavigating + "<Inverter><ProcterSentinel/></Inverter>" + kRaises +
    "</Fallback>");
  Send(2, 101);
  // Model 3 reaches the raising node: here, then on the thread.
  EXPECT_EQ(Send(3, 4).response->message, "Failure");
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->Count(kTickFailed), 1u);
  EXPECT_EQ(log_->Count(kTickFailed, false), 1u);
  EXPECT_EQ(Send(6, 401).response->message, "Success");  // from the first child again
}

TEST_F(EngineTest, InitFailsForTreesThatCannotBeBuiltAndForNoNode)
{
  const fs::path file = fs::temp_directory_path() / ("engine_tree_" + std::to_string(getpid()));
  std::ofstream(file) << TreeXml(kRunsWhileNavigating);
  ASSERT_TRUE(engine()->Init(node_, file.string(), false));
  fs::remove(file);
  Send(2, 101);
  ASSERT_TRUE(engine()->IsTicking());

  EXPECT_FALSE(engine()->Init(nullptr, "<root/>", true));
  EXPECT_TRUE(engine()->IsTicking());  // nothing done
  EXPECT_FALSE(engine()->Init(node_, "<root><BehaviorTree", true));
  EXPECT_FALSE(engine()->IsTicking());  // stopped before the tree was replaced
  EXPECT_FALSE(engine()->Init(node_, TreeXml("<NoSuchNode/>"), true));
  EXPECT_FALSE(engine()->Init(node_, file.string(), false));
  EXPECT_EQ(log_->Count("create behavior_tree failed: "), 3u);
  EXPECT_EQ(engine()->GetNode(), node_);

  // No tree is left: ticks raise on both threads.
  EXPECT_EQ(Send(1, 1).response->message, "Failure");
  Send(2, 101);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->Count(kTickFailed, false), 1u);
}

TEST_F(EngineTest, ErrorCodeKeepsTheFirstAndARequestStartsClear)
{
  InitTree("<AlwaysSuccess/>");
  engine()->SetErrorCode(0);
  engine()->SetErrorCode(7);
  engine()->SetErrorCode(9);
  EXPECT_EQ(engine()->GetStatus()->error_code, 7);
  engine()->GetStatus()->failure_count = 1;
  const Sent sent = Send(1, 1);
  EXPECT_EQ(sent.response->message, "Success");
  EXPECT_EQ(sent.response->error_code, 0);
  EXPECT_TRUE(StatusCleared());
}

TEST_F(EngineTest, ProcessExitStopsARunningThread)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto exit_while_ticking = [this] {
    InitTree(kRunsWhileNavigating);
    Send(2, 101);
    std::exit(engine()->IsTicking() ? 3 : 4);
  };
  EXPECT_EXIT(exit_while_ticking(), ::testing::ExitedWithCode(3), "");
}

// Last, since it shuts ROS down.
TEST_F(EngineTest, RosShutdownEndsTheThread)
{
  InitTree(kRunsWhileNavigating);
  Send(2, 101);
  rclcpp::shutdown();
  EXPECT_TRUE(WaitUntilIdle());
}

}  // namespace
