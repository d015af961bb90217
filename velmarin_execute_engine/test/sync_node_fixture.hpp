// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef SYNC_NODE_FIXTURE_HPP_
#define SYNC_NODE_FIXTURE_HPP_

#include <behaviortree_cpp_v3/tree_node.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>

#include "engine_fixture.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine_test_support/background_executor.hpp"

namespace sync_node_test
{

// What one tick of a synchronous command node returned, then its success and failure counts
// and the error code.
using TickOutcome = std::tuple<BT::NodeStatus, uint32_t, uint32_t, int32_t>;

// A synchronous node ticked on its own, as the tree ticks it, with the engine holding the
// request it reads; and an executor for the simulated peers it calls.
class SyncNodeTest : public engine_test::EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    InitTree("<AlwaysSuccess/>");
    peers_ = std::make_unique<execute_engine_test_support::BackgroundExecutor>(2);
  }

  void TearDown() override
  {
    peers_.reset();
    EngineTest::TearDown();
  }

  // A request of the mapping model, which the engine ticks once and never on its thread.
  static std::shared_ptr<Request> MakeRequest(int cmd)
  {
    auto request = std::make_shared<Request>();
    request->command.model_id = 5;
    request->command.cmd = cmd;
    return request;
  }

  // Makes `request` the engine's current request through "execute_robot"'s path (the
  // engine's tree must not hold the node under test), then ticks `node` once, starting from a
  // cleared status block that holds `error_code_before`.
  TickOutcome Tick(
    BT::TreeNode & node, std::shared_ptr<Request> request, int32_t error_code_before = 0)
  {
    engine()->ScheduleRequest(std::move(request), std::make_shared<Response>());
    log_->Clear();
    engine()->SetErrorCode(error_code_before);
    const BT::NodeStatus status = node.executeTick();
    execute_engine::StatusBlock * block = engine()->GetStatus();
    const TickOutcome outcome{
      status, block->success_count, block->failure_count, block->error_code};
    *block = execute_engine::StatusBlock();
    return outcome;
  }

  TickOutcome Tick(BT::TreeNode & node, int cmd) { return Tick(node, MakeRequest(cmd)); }

  std::unique_ptr<execute_engine_test_support::BackgroundExecutor> peers_;
};

}  // namespace sync_node_test

#endif  // SYNC_NODE_FIXTURE_HPP_
