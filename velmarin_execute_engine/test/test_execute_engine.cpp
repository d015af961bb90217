// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

// Every tick raises, so the log tells which requests reach the tree; all are answered "Failure".
TEST_F(EngineTest, RefusedRequestsReachNothingAndOthersTickOnce)
{
  InitTree(kRaises);
  struct Row
  {
    int model_id;
    int cmd;
    bool ticked;
  };
  const Row rows[] = {{0, 1, false},  {7, 1, false},   {-1, 1, false}, {3, 999, false},
                      {6, 4, false},  {2, 201, false}, {2, 4, false},  {4, 403, false},
                      {4, 2, false},  {1, 1, true},    {3, 201, true}, {4, 201, true},
                      {4, 202, true}, {5, 301, true},  {6, 401, true}};
  for (const Row & row : rows) {
    SCOPED_TRACE(std::to_string(row.model_id) + "/" + std::to_string(row.cmd));
    log_->Clear();
    const auto before = engine()->GetRequest();
    const Sent sent = Send(row.model_id, row.cmd);
    EXPECT_EQ(sent.response->result, 1);
    EXPECT_EQ(sent.response->message, "Failure");
    EXPECT_EQ(sent.response->error_code, 0);
    EXPECT_TRUE(StatusCleared());
    EXPECT_EQ(engine()->GetRequest(), row.ticked ? sent.request : before);
    EXPECT_EQ(log_->Count(kTickFailed), row.ticked ? 1u : 0u);
    EXPECT_EQ(
      log_->Count("behavior_tree action finished"), row.ticked && row.model_id != 4 ? 1u : 0u);
    const bool has_handler = row.model_id >= 1 && row.model_id <= 6;
    EXPECT_EQ(
      log_->Count("ScheduleRequest don't find func match model ID " + std::to_string(row.model_id)),
      has_handler ? 0u : 1u);
  }
  EXPECT_FALSE(engine()->IsTicking());
}

TEST_F(EngineTest, MixedRequestsFromSeveralCallersNeverStartASecondThread)
{
  // Runs while the current request is for model 2 or 4; only an obstacle request ends a goal.
  InitTree(kRunsWhileNavigating);
  const auto count_threads = [] {
    return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator());
  };
  const auto threads_before = count_threads();
  constexpr int kCallers = 4;
  const auto call = [] {
    const std::pair<int, int> requests[] = {{2, 101}, {2, 5},   {3, 4},   {4, 102},
                                            {4, 4},   {6, 401}, {4, 201}, {0, 1}};
    for (int i = 0; i < 40; ++i) {
      for (const auto & [model_id, cmd] : requests) {
        const std::string message = Send(model_id, cmd).response->message;
        EXPECT_TRUE(message == "Success" || message == "Failure") << message;
      }
    }
  };
  std::vector<std::thread> callers;
  for (int i = 1; i < kCallers; ++i) {
    callers.emplace_back(call);
  }
  call();
  for (auto & caller : callers) {
    caller.join();
  }
  EXPECT_LE(count_threads(), threads_before + 1);  // at most the ticking thread
  Send(6, 401);
  EXPECT_TRUE(WaitUntilIdle());
}

TEST_F(EngineTest, RaisingTickIsLoggedAnsweredFailureAndEndsTheGoal)
{
  std::string reason;
  try {
    BT::BehaviorTreeFactory().createTreeFromText(TreeXml(kRaises)).tickRoot();
  } catch (const std::exception & error) {
    reason = error.what();
  }
  // The goal runs until model 3 reaches the raising node.
  InitTree(
    "<Fallback>" + kRunsWhileNavigating + "<Inverter><ProcterSentinel/></Inverter>" + kRaises +
    "</Fallback>");
  EXPECT_EQ(Send(2, 101).response->message, "Success");
  EXPECT_EQ(Send(3, 4).response->message, "Failure");
  EXPECT_EQ(log_->Count(kTickFailed + reason), 1u);
  // Halted, so the goal ended and the thread ticks no more.
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->Count(kTickFailed, false), 0u);
  EXPECT_TRUE(StatusCleared());

  InitTree(kRaises);
  EXPECT_EQ(Send(2, 101).response->message, "Success");
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(log_->Count(kTickFailed + reason, false), 1u);
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
  EXPECT_EQ(log_->Count(kTickFailed), 1u);
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
  const Sent sent = Send(2, 101);  // answered before the thread can count
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
