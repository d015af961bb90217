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

// A node whose every tick raises: its port names a blackboard entry that does not exist.
const std::string kRaises = R"(<Repeat num_cycles="{missing}"><AlwaysSuccess/></Repeat>)";
// Runs as long as the current request is for model 2 or 4 with a command they accept.
const std::string kRunsWhileNavigating =
  "<KeepRunningUntilFailure><Fallback><NavigationSentinel/><SweepSentinel/></Fallback>"
  "</KeepRunningUntilFailure>";
const std::string kTickFailed = "behavior_tree tick failed: ";

size_t CountThreads()
{
  return static_cast<size_t>(
    std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

TEST_F(EngineTest, DispatchesByModelIdAndIgnoresIdsWithoutHandler)
{
  InitTree("<AlwaysSuccess/>");
  for (int model_id = 1; model_id <= 6; ++model_id) {
    const Sent sent = Send(model_id, 5);
    EXPECT_TRUE(sent.handled);
    EXPECT_EQ(sent.response->message, "Success");
    EXPECT_EQ(engine()->GetRequest(), sent.request);
  }
  const auto current = engine()->GetRequest();
  for (int model_id : {0, 7, -1}) {
    const Sent sent = Send(model_id, 1);
    EXPECT_FALSE(sent.handled);
    EXPECT_EQ(sent.response->result, 0);
    EXPECT_EQ(sent.response->message, "");
    EXPECT_EQ(sent.response->error_code, 0);
    EXPECT_EQ(engine()->GetRequest(), current);
    EXPECT_EQ(
      log_->CountAll("ScheduleRequest don't find func match model ID " + std::to_string(model_id)),
      1u);
  }
  EXPECT_EQ(log_->CountAll("behavior_tree action finished"), 0u);
}

// Every tick raises, so a request that ticks is answered "Failure" and one that does not,
// "Success".
TEST_F(EngineTest, OnlyTickingRequestsReachTheTree)
{
  InitTree(kRaises);
  size_t ticks = 0;
  for (int model_id : {1, 3, 5, 6}) {
    for (int cmd : {1, 101, 201, 401, 999}) {
      const Sent sent = Send(model_id, cmd);
      EXPECT_EQ(sent.response->result, 1) << model_id << "/" << cmd;
      EXPECT_EQ(sent.response->message, "Failure");
      ExpectStatusCleared();
      ++ticks;
    }
  }
  EXPECT_EQ(log_->CountAll("behavior_tree action finished"), ticks);
  for (int model_id : {2, 4}) {
    EXPECT_EQ(Send(model_id, 201).response->message, "Failure");
    ++ticks;
    for (int cmd : {2, 4, 5, 6, 7, 8, 202, 301, 403, 0}) {
      const Sent sent = Send(model_id, cmd);
      EXPECT_EQ(sent.response->result, 0) << model_id << "/" << cmd;
      EXPECT_EQ(sent.response->message, "Success");
      EXPECT_EQ(engine()->GetRequest(), sent.request);
      EXPECT_FALSE(engine()->IsTicking());
    }
  }
  EXPECT_EQ(log_->CountOnThisThread(kTickFailed), ticks);
  EXPECT_EQ(log_->CountAll("behavior_tree action finished"), ticks - 2);
}

TEST_F(EngineTest, MoveAndWorkRunOneThreadThatLaterRequestsSteer)
{
  InitTree("<Fallback>" + kRunsWhileNavigating + "<LocationSentinel/></Fallback>");
  const size_t threads_before = CountThreads();
  EXPECT_EQ(Send(2, 101).response->message, "Success");
  EXPECT_TRUE(engine()->IsTicking());
  const std::pair<int, int> steering[] = {{4, 102}, {2, 101}, {2, 4}, {4, 403}};
  for (const auto & [model_id, cmd] : steering) {
    EXPECT_EQ(Send(model_id, cmd).response->message, "Success");
    EXPECT_TRUE(engine()->IsTicking());
  }
  EXPECT_EQ(CountThreads(), threads_before + 1);

  // Ticks here once; the thread's next tick reads this request too, and ends.
  const Sent location = Send(1, 5);
  EXPECT_EQ(location.response->message, "Success");
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->CountOnThisThread("cmd:5 is not support by model:1"), 1u);
  EXPECT_EQ(log_->CountOnOtherThreads("cmd:5 is not support by model:1"), 1u);
  EXPECT_EQ(log_->CountAll("behavior_tree action finished"), 1u);
  EXPECT_EQ(engine()->GetRequest(), location.request);
  ExpectStatusCleared();
}

TEST_F(EngineTest, QuickMoveRequestsNeverStartASecondThread)
{
  InitTree("<NavigationSentinel/>");  // the thread ends after one tick
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

TEST_F(EngineTest, RaisingTickOnRequestIsAnsweredFailureAndHaltsTheTree)
{
  // What the tree library says when the raising node ticks.
  std::string reason;
  try {
    BT::BehaviorTreeFactory().createTreeFromText(TreeXml(kRaises)).tickRoot();
  } catch (const std::exception & error) {
    reason = error.what();
  }
  ASSERT_FALSE(reason.empty());

  InitTree("<Fallback><Inverter><LocationSentinel/></Inverter>" + kRaises + "</Fallback>");
  const Sent location = Send(1, 1);
  EXPECT_EQ(location.response->result, 1);
  EXPECT_EQ(location.response->message, "Failure");
  EXPECT_EQ(log_->CountOnThisThread(kTickFailed + reason), 1u);
  ExpectStatusCleared();
  // Halted: the next tick starts again from the first child instead of the raising one.
  EXPECT_EQ(Send(3, 4).response->message, "Success");
}

TEST_F(EngineTest, RaisingTickOnTheTickingThreadEndsItAndHaltsTheTree)
{
  InitTree(
    "<Fallback>" + kRunsWhileNavigating + "<Inverter><ProcterSentinel/></Inverter>" + kRaises +
    "</Fallback>");
  Send(2, 101);
  ASSERT_TRUE(engine()->IsTicking());
  // Model 3 reaches the raising node: here first, then on the thread.
  EXPECT_EQ(Send(3, 4).response->message, "Failure");
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->CountOnThisThread(kTickFailed), 1u);
  EXPECT_EQ(log_->CountOnOtherThreads(kTickFailed), 1u);
  // Halted by the thread: the next tick starts from the first child again.
  EXPECT_EQ(Send(6, 401).response->message, "Success");
}

TEST_F(EngineTest, TreeThatCannotBeBuiltFailsInitAndLeavesNoTree)
{
  EXPECT_FALSE(engine()->Init(node_, "<root><BehaviorTree", true));
  EXPECT_FALSE(engine()->Init(node_, TreeXml("<NoSuchNode/>"), true));
  EXPECT_FALSE(engine()->Init(node_, "/nonexistent/tree.xml", false));
  EXPECT_EQ(log_->CountAll("create behavior_tree failed: "), 3u);
  // Without a tree every tick raises, on both threads.
  EXPECT_EQ(Send(1, 1).response->message, "Failure");
  EXPECT_EQ(Send(2, 101).response->message, "Success");
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->CountOnOtherThreads(kTickFailed), 1u);
}

TEST_F(EngineTest, InitReadsFilesRefusesANullNodeAndStopsTheThread)
{
  const fs::path file = fs::temp_directory_path() / ("engine_tree_" + std::to_string(getpid()));
  std::ofstream(file) << TreeXml("<Fallback>" + kRunsWhileNavigating + "</Fallback>");
  ASSERT_TRUE(engine()->Init(node_, file.string(), false));
  fs::remove(file);

  EXPECT_FALSE(engine()->Init(nullptr, TreeXml("<NoSuchNode/>"), true));
  EXPECT_EQ(engine()->GetNode(), node_);
  EXPECT_EQ(log_->CountAll("create behavior_tree failed"), 0u);

  Send(2, 101);  // the file's tree, which keeps running
  ASSERT_TRUE(engine()->IsTicking());
  InitTree("<AlwaysSuccess/>");
  EXPECT_FALSE(engine()->IsTicking());
}

TEST_F(EngineTest, ErrorCodeKeepsTheFirstAndEachRequestStartsClear)
{
  InitTree("<AlwaysSuccess/>");
  engine()->SetErrorCode(0);
  EXPECT_EQ(engine()->GetStatus()->error_code, 0);
  engine()->SetErrorCode(7);
  engine()->SetErrorCode(9);
  EXPECT_EQ(engine()->GetStatus()->error_code, 7);
  engine()->GetStatus()->failure_count = 1;

  const Sent sent = Send(1, 1);
  EXPECT_EQ(sent.response->result, 0);
  EXPECT_EQ(sent.response->error_code, 0);
  ExpectStatusCleared();
}

TEST_F(EngineTest, ExitStopsARunningThread)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
    {
      InitTree(kRunsWhileNavigating);
      Send(2, 101);
      std::exit(engine()->IsTicking() ? 3 : 4);
    },
    ::testing::ExitedWithCode(3), "");
}

// Last: shuts ROS down.
TEST_F(EngineTest, RosShutdownEndsTheTickingThread)
{
  InitTree(kRunsWhileNavigating);
  Send(2, 101);
  ASSERT_TRUE(engine()->IsTicking());
  rclcpp::shutdown();
  EXPECT_TRUE(WaitUntilIdle());
}

}  // namespace
