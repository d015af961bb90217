// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "engine_fixture.hpp"

namespace
{

using engine_test::EngineTest;
using engine_test::WaitUntilIdle;

// Every tick of it raises: its port names a blackboard entry that does not exist. So the log
// tells which requests reach the tree, and on which thread.
const std::string kRaises = R"(<Repeat num_cycles="{missing}"><AlwaysSuccess/></Repeat>)";
const std::string kTickFailed = "behavior_tree tick failed: ";

// A goal is answered "Success" and ends on its thread's first tick; anything else is answered
// "Failure", from a status block cleared first.
TEST_F(EngineTest, RefusedRequestsReachNothingOthersTickOnceAndGoalsOnTheirThread)
{
  InitTree(kRaises);
  enum Reach
  {
    kNothing,
    kOneTick,
    kGoal
  };
  // clang-format off
  const std::tuple<int, int, Reach> rows[] = {
    {0, 1, kNothing},   {7, 1, kNothing},   {-1, 1, kNothing},  {3, 999, kNothing}, {6, 4, kNothing},
    {2, 201, kNothing}, {2, 4, kNothing},   {4, 403, kNothing}, {4, 2, kNothing},   {1, 1, kOneTick},
    {3, 201, kOneTick}, {4, 201, kOneTick}, {4, 202, kOneTick}, {5, 301, kOneTick}, {6, 401, kOneTick},
    {2, 101, kGoal},    {4, 102, kGoal}};
  // clang-format on
  for (const auto & [model_id, cmd, reach] : rows) {
    SCOPED_TRACE(::testing::Message() << model_id << "/" << cmd);
    log_->Clear();
    const auto before = engine()->GetRequest();
    engine()->SetErrorCode(7);
    const auto [request, response] = Send(model_id, cmd);
    EXPECT_EQ(response->message, reach == kGoal ? "Success" : "Failure");
    EXPECT_EQ(
      std::make_pair(response->result, response->error_code),
      std::make_pair(reach == kGoal ? 0 : 1, 0));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(engine()->GetRequest(), reach == kNothing ? before : request);
    EXPECT_EQ(log_->Count(kTickFailed), reach == kOneTick ? 1u : 0u);
    EXPECT_EQ(log_->Count(kTickFailed, false), reach == kGoal ? 1u : 0u);
    const bool has_handler = model_id >= 1 && model_id <= 6;
    EXPECT_EQ(engine()->GetStatus()->error_code, has_handler ? 0 : 7);
    EXPECT_EQ(log_->Count("ScheduleRequest don't find func match model ID"), has_handler ? 0u : 1u);
    *engine()->GetStatus() = execute_engine::StatusBlock();
  }
}

TEST_F(EngineTest, MixedRequestsFromSeveralCallersNeverStartASecondThread)
{
  // Runs while the current request is for model 2 or 4; only an obstacle request ends a goal.
  InitTree(
    "<KeepRunningUntilFailure><Fallback><NavigationSentinel/><SweepSentinel/></Fallback>"
    "</KeepRunningUntilFailure>");
  const auto count_threads = [] {
    namespace fs = std::filesystem;
    return std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator());
  };
  const auto threads_before = count_threads();
  const auto call = [] {
    const std::pair<int, int> requests[] = {{2, 101}, {2, 5},   {3, 4},   {4, 102},
                                            {4, 4},   {6, 401}, {4, 201}, {0, 1}};
    for (int i = 0; i < 40; ++i) {
      for (const auto & [model_id, cmd] : requests) {
        const std::string message = Send(model_id, cmd).second->message;
        EXPECT_TRUE(message == "Success" || message == "Failure") << message;
      }
    }
  };
  std::vector<std::thread> callers(3);
  for (auto & caller : callers) {
    caller = std::thread(call);
  }
  call();
  for (auto & caller : callers) {
    caller.join();
  }
  EXPECT_LE(count_threads(), threads_before + 1);  // at most the ticking thread
  Send(6, 401);
  EXPECT_TRUE(WaitUntilIdle());
}

}  // namespace
