// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "engine_fixture.hpp"
#include "execute_engine/cmd_manager.hpp"

namespace
{

using BT::NodeStatus;

class SentinelTest : public ::testing::Test
{
protected:
  void SetUp() override { log_->Clear(); }

  // Asks the Sentinel of `model` about a request for `model_id` and `cmd`, with counters as an
  // earlier node of the same tick may have left them.
  NodeStatus Ask(int model, int model_id, int cmd)
  {
    execute_engine::ExecuteEngine::Request request;
    request.command.model_id = model_id;
    request.command.cmd = cmd;
    *status_ = execute_engine::StatusBlock{3, 4, 5};
    return execute_engine::CmdManager::GetInstance()->Sentinel(model, &request);
  }

  bool CountersCleared() const
  {
    return status_->success_count == 0 && status_->failure_count == 0;
  }

  std::shared_ptr<engine_test::LogCapture> log_ = engine_test::CaptureProgramLog();
  execute_engine::StatusBlock * status_ = g_execute_engine->GetStatus();
};

TEST_F(SentinelTest, EachModelAcceptsExactlyItsCommandsAndClearsTheCounters)
{
  // Command code to the models that accept it.
  const std::map<int, std::set<int>> accepted_by = {
    {1, {1}},          {2, {1, 2, 4, 5}}, {8, {1, 2, 4, 5}}, {101, {1, 2, 4, 5}}, {102, {2, 4}},
    {4, {2, 3, 4, 5}}, {5, {2, 3, 4, 5}}, {6, {2, 3, 4, 5}}, {7, {2, 3, 4, 5}},   {201, {3, 4}},
    {202, {4}},        {301, {5}},        {302, {5}},        {401, {6}},          {402, {6}},
    {403, {2, 4, 6}},  {0, {}},           {3, {}},           {103, {}},           {-1, {}}};
  for (const auto & [cmd, models] : accepted_by) {
    for (int model = 1; model <= 6; ++model) {
      const bool accepted = models.count(model) != 0;
      EXPECT_EQ(Ask(model, model, cmd), accepted ? NodeStatus::SUCCESS : NodeStatus::FAILURE)
        << "model " << model << " cmd " << cmd;
      EXPECT_EQ(execute_engine::CmdManager::GetInstance()->Accepts(model, cmd), accepted);
      // Cleared also when the command is refused.
      EXPECT_TRUE(CountersCleared());
      EXPECT_EQ(status_->error_code, 5);
      EXPECT_EQ(
        log_->Count(
          "cmd:" + std::to_string(cmd) + " is not support by model:" + std::to_string(model)),
        accepted ? 0u : 1u);
    }
  }
}

TEST_F(SentinelTest, OtherModelsFailSilentlyAndUnknownModelIdsLoudly)
{
  for (int model : {1, 2, 3, 5, 6}) {
    EXPECT_EQ(Ask(model, 4, 201), NodeStatus::FAILURE);
    EXPECT_EQ(status_->failure_count, 4u);
  }
  EXPECT_EQ(log_->Count("not support"), 0u);

  for (int model_id : {0, 7, -1}) {
    for (int model = 1; model <= 6; ++model) {
      EXPECT_EQ(Ask(model, model_id, 101), NodeStatus::FAILURE);
      EXPECT_EQ(status_->failure_count, 4u);
    }
    EXPECT_EQ(log_->Count("model id:" + std::to_string(model_id) + " is not support current"), 6u);
    EXPECT_FALSE(execute_engine::CmdManager::GetInstance()->Accepts(model_id, 101));
  }
}

}  // namespace
