// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef SYNC_NODE_FIXTURE_HPP_
#define SYNC_NODE_FIXTURE_HPP_

#include <behaviortree_cpp_v3/tree_node.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/base_sink.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine_test_support/background_executor.hpp"

namespace sync_node_test
{

// What one tick of a synchronous command node returned and counted.
struct TickOutcome
{
  BT::NodeStatus status;
  uint32_t success_count;
  uint32_t failure_count;
  int32_t error_code;

  bool operator==(const TickOutcome & other) const
  {
    return status == other.status && success_count == other.success_count &&
           failure_count == other.failure_count && error_code == other.error_code;
  }
};

inline std::ostream & operator<<(std::ostream & out, const TickOutcome & outcome)
{
  return out << "{" << BT::toStr(outcome.status) << ", success " << outcome.success_count
             << ", failure " << outcome.failure_count << ", error code " << outcome.error_code
             << "}";
}

// Keeps the function that each program log line names as its source.
class LogSourceCapture : public spdlog::sinks::base_sink<std::mutex>
{
public:
  // The source functions of the messages that hold `text`.
  std::vector<std::string> FunctionsOf(const std::string & text)
  {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> functions;
    for (const auto & [function, message] : messages_) {
      if (message.find(text) != message.npos) {
        functions.push_back(function);
      }
    }
    return functions;
  }

  void Clear()
  {
    std::lock_guard<std::mutex> guard(mutex_);
    messages_.clear();
  }

protected:
  void sink_it_(const spdlog::details::log_msg & msg) override
  {
    messages_.emplace_back(
      msg.source.funcname == nullptr ? "" : msg.source.funcname,
      std::string(msg.payload.data(), msg.payload.size()));
  }
  void flush_() override {}

private:
  std::vector<std::pair<std::string, std::string>> messages_;
};

// A synchronous node ticked on its own, as the tree ticks it, with the engine holding the
// request it reads; and an executor for the simulated peers it calls.
class SyncNodeTest : public engine_test::EngineTest
{
protected:
  static void SetUpTestSuite()
  {
    EngineTest::SetUpTestSuite();
    static const std::shared_ptr<LogSourceCapture> capture = [] {
      auto sink = std::make_shared<LogSourceCapture>();
      common_util::LogInstance()->GetLogger()->sinks().push_back(sink);
      return sink;
    }();
    sources_ = capture;
  }

  void SetUp() override
  {
    EngineTest::SetUp();
    InitTree("<AlwaysSuccess/>");
    sources_->Clear();
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
    sources_->Clear();
    engine()->SetErrorCode(error_code_before);
    const BT::NodeStatus status = node.executeTick();
    execute_engine::StatusBlock * block = engine()->GetStatus();
    const TickOutcome outcome{
      status, block->success_count, block->failure_count, block->error_code};
    *block = execute_engine::StatusBlock();
    return outcome;
  }

  TickOutcome Tick(BT::TreeNode & node, int cmd) { return Tick(node, MakeRequest(cmd)); }

  static inline std::shared_ptr<LogSourceCapture> sources_;
  std::unique_ptr<execute_engine_test_support::BackgroundExecutor> peers_;
};

}  // namespace sync_node_test

#endif  // SYNC_NODE_FIXTURE_HPP_
