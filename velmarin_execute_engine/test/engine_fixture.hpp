// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef ENGINE_FIXTURE_HPP_
#define ENGINE_FIXTURE_HPP_

#include <behaviortree_cpp_v3/tree_node.h>
#include <gtest/gtest.h>
#include <spdlog/details/os.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"

namespace engine_test
{

// Keeps the program logger's messages with the thread that wrote each.
class LogCapture : public spdlog::sinks::base_sink<std::mutex>
{
public:
  // Messages holding `text`, written by the calling thread (`here`) or by other threads.
  size_t Count(const std::string & text, bool here = true)
  {
    const size_t this_thread = spdlog::details::os::thread_id();
    std::lock_guard<std::mutex> guard(mutex_);
    size_t count = 0;
    for (size_t i = 0; i < messages_.size(); ++i) {
      count += (threads_[i] == this_thread) == here && messages_[i].find(text) != std::string::npos;
    }
    return count;
  }

  void Clear()
  {
    std::lock_guard<std::mutex> guard(mutex_);
    threads_.clear();
    messages_.clear();
  }

protected:
  void sink_it_(const spdlog::details::log_msg & msg) override
  {
    threads_.push_back(msg.thread_id);
    messages_.emplace_back(msg.payload.data(), msg.payload.size());
  }
  void flush_() override {}

private:
  std::vector<size_t> threads_;
  std::vector<std::string> messages_;
};

// Sets the program logger up once per process with a LogCapture as its only sink, under
// start-up's logger name, so that start-up takes it rather than opening the robot's log file.
inline std::shared_ptr<LogCapture> CaptureProgramLog()
{
  static const std::shared_ptr<LogCapture> capture = [] {
    auto sink = std::make_shared<LogCapture>();
    auto logger = std::make_shared<spdlog::logger>("execute_engine", sink);
    logger->set_level(spdlog::level::debug);
    spdlog::register_logger(logger);
    common_util::LogInstance()->InitLog("", spdlog::level::debug, "execute_engine");
    return sink;
  }();
  return capture;
}

// True once `done()` holds, false if it still does not after 10 s; calls it once per try.
template <typename Condition>
bool Eventually(Condition done)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
  }
  return true;
}

inline bool Idle() { return !g_execute_engine->IsTicking(); }

// The engine with trees built from text on an rclcpp node, and requests sent to it.
class EngineTest : public ::testing::Test
{
protected:
  using Request = execute_engine::ExecuteEngine::Request;
  using Response = execute_engine::ExecuteEngine::Response;

  static void SetUpTestSuite()
  {
    log_ = CaptureProgramLog();
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    node_ = std::make_shared<rclcpp::Node>("engine_test_node");
  }

  void SetUp() override { log_->Clear(); }

  static execute_engine::ExecuteEngine * engine() { return g_execute_engine; }

  static std::string TreeXml(const std::string & body)
  {
    return "<root main_tree_to_execute=\"Main\"><BehaviorTree ID=\"Main\">" + body +
           "</BehaviorTree></root>";
  }

  void InitTree(const std::string & body)
  {
    ASSERT_TRUE(engine()->Init(node_, TreeXml(body), true));
    log_->Clear();
  }

  // The request sent, and its answer.
  static auto Send(int model_id, int cmd)
  {
    auto sent = std::make_pair(Command(cmd, model_id), std::make_shared<Response>());
    engine()->ScheduleRequest(sent.first, sent.second);
    return sent;
  }

  // A request of the mapping model unless told otherwise; the engine ticks those once and
  // never on its thread.
  static std::shared_ptr<Request> Command(int cmd, int model_id = 5)
  {
    auto request = std::make_shared<Request>();
    request->command.set__model_id(model_id).set__cmd(cmd);
    return request;
  }

  static inline std::shared_ptr<LogCapture> log_;
  static inline std::shared_ptr<rclcpp::Node> node_;
};

// What one tick of a command node returned, then its success and failure counts and the
// error code.
using TickOutcome = std::tuple<BT::NodeStatus, uint32_t, uint32_t, int32_t>;

// A command node ticked on its own, as the tree ticks it, with the engine holding the request
// it reads and an executor for the simulated peers it calls.
class NodeTest : public EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    InitTree("<AlwaysSuccess/>");
    peers_ = std::make_unique<execute_engine_test_support::BackgroundExecutor>(4);
  }

  // Leaves the engine with a tree of no command node, whatever a test gave it.
  void TearDown() override
  {
    EXPECT_TRUE(engine()->Init(node_, TreeXml("<AlwaysSuccess/>"), true));
    peers_.reset();
    EngineTest::TearDown();
  }

  // Makes `request` the engine's current request through "execute_robot"'s path (the engine's
  // tree must not hold the node under test, and no goal may run); the status block then keeps
  // what the node counts. The engine stores only requests it accepts, so `request` goes in as a
  // device command of the sweeping model, ticked once whatever the tree, and gets its own
  // command back once stored.
  void Use(std::shared_ptr<Request> request)
  {
    const auto command = request->command;
    request->command.set__model_id(4).set__cmd(202);
    engine()->ScheduleRequest(request, std::make_shared<Response>());
    request->command = command;
    log_->Clear();
  }

  // Ticks `node` once for `request`, from a cleared status block holding `error_code_before`.
  TickOutcome Outcome(
    BT::TreeNode & node, std::shared_ptr<Request> request, int32_t error_code_before = 0)
  {
    Use(std::move(request));
    engine()->SetErrorCode(error_code_before);
    const BT::NodeStatus status = node.executeTick();
    execute_engine::StatusBlock * block = engine()->GetStatus();
    const TickOutcome outcome{
      status, block->success_count, block->failure_count, block->error_code};
    *block = execute_engine::StatusBlock();
    return outcome;
  }
  TickOutcome Outcome(BT::TreeNode & node, int cmd) { return Outcome(node, Command(cmd)); }

  std::unique_ptr<execute_engine_test_support::BackgroundExecutor> peers_;
};

}  // namespace engine_test

#endif  // ENGINE_FIXTURE_HPP_
