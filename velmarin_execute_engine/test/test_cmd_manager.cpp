// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine_fixture.hpp"
#include "execute_engine/cmd_manager.hpp"

namespace
{

using BT::NodeStatus;
using execute_engine::CmdManager;
using Request = execute_engine::ExecuteEngine::Request;

Request MakeRequest(int model_id, int cmd)
{
  Request request;
  request.command.model_id = model_id;
  request.command.cmd = cmd;
  return request;
}

class SentinelTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    log_ = engine_test::CaptureProgramLog();
    log_->Clear();
  }

  // Counters as an earlier node of the same tick may have left them.
  static void DirtyCounters()
  {
    g_execute_engine->GetStatus()->success_count = 3;
    g_execute_engine->GetStatus()->failure_count = 4;
    g_execute_engine->GetStatus()->error_code = 5;
  }

  std::shared_ptr<engine_test::LogCapture> log_;
  const CmdManager * table_ = CmdManager::GetInstance();
};

TEST_F(SentinelTest, EachModelAcceptsExactlyItsCommands)
{
  // Command code to the models that accept it.
  const std::map<int, std::set<int>> accepted_by = {
    {1, {1}},          {2, {1, 2, 4, 5}}, {8, {1, 2, 4, 5}}, {101, {1, 2, 4, 5}},
    {102, {2, 4}},     {4, {2, 3, 4, 5}}, {5, {2, 3, 4, 5}}, {6, {2, 3, 4, 5}},
    {7, {2, 3, 4, 5}}, {201, {3, 4}},     {202, {4}},        {301, {5}},
    {302, {5}},        {401, {6}},        {402, {6}},        {403, {2, 4, 6}},
    {0, {}},           {3, {}},           {9, {}},           {-1, {}},
    {103, {}},         {999, {}},
  };
  for (const auto & [cmd, models] : accepted_by) {
    for (int model = 1; model <= 6; ++model) {
      const Request request = MakeRequest(model, cmd);
      const NodeStatus expected =
        models.count(model) != 0 ? NodeStatus::SUCCESS : NodeStatus::FAILURE;
      EXPECT_EQ(table_->Sentinel(model, &request), expected) << "model " << model << " cmd " << cmd;
    }
  }
}

TEST_F(SentinelTest, OnlyTheRequestsOwnModelClearsTheCounters)
{
  const Request sweep_work = MakeRequest(4, 201);
  for (int model : {1, 2, 3, 5, 6}) {
    DirtyCounters();
    EXPECT_EQ(table_->Sentinel(model, &sweep_work), NodeStatus::FAILURE);
    EXPECT_EQ(g_execute_engine->GetStatus()->failure_count, 4u);
  }
  EXPECT_EQ(table_->Sentinel(4, &sweep_work), NodeStatus::SUCCESS);
  EXPECT_EQ(g_execute_engine->GetStatus()->success_count, 0u);
  EXPECT_EQ(g_execute_engine->GetStatus()->failure_count, 0u);
  EXPECT_EQ(g_execute_engine->GetStatus()->error_code, 5);

  // The own model clears them also when it refuses the command, and says why.
  const Request procter_move = MakeRequest(3, 101);
  DirtyCounters();
  EXPECT_EQ(table_->Sentinel(3, &procter_move), NodeStatus::FAILURE);
  EXPECT_EQ(g_execute_engine->GetStatus()->failure_count, 0u);
  EXPECT_EQ(log_->CountAll("cmd:101 is not support by model:3"), 1u);
  EXPECT_EQ(log_->CountAll("not support"), 1u) << "other models must stay silent";
}

TEST_F(SentinelTest, UnknownModelIdFailsEverySentinelLoudlyWithoutClearing)
{
  for (int model_id : {0, 7, -1}) {
    const Request request = MakeRequest(model_id, 101);
    for (int model = 1; model <= 6; ++model) {
      DirtyCounters();
      EXPECT_EQ(table_->Sentinel(model, &request), NodeStatus::FAILURE);
      EXPECT_EQ(g_execute_engine->GetStatus()->failure_count, 4u);
    }
    EXPECT_EQ(
      log_->CountAll("model id:" + std::to_string(model_id) + " is not support current"), 6u);
  }
}

}  // namespace
