// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common_util/util.hpp"
#include "engine_fixture.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "velmarin_protocol/srv/bottom_interact_srv.hpp"

namespace
{

using namespace std::chrono_literals;
using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;
using LoadMap = nav2_msgs::srv::LoadMap;
using Lines = std::vector<std::string>;
using common_util::ServiceCallHolder;
using common_util::SyncCallService;
using execute_engine_test_support::BackgroundExecutor;

// Bounds that a passing call never reaches: it returns as soon as the reply is there.
constexpr auto kGenerous = 10s;
// The wait a test sits out when the server is absent or the reply is scripted to come late.
// A late reply is late only for the response timeout, so a call that swapped the two takes it.
constexpr auto kShort = 100ms;

class SyncCallServiceTest : public ::testing::Test
{
protected:
  // One test shuts ROS down, so every test brings it up if need be; without a log file, which
  // real ROS would leave in the home directory.
  void SetUp() override
  {
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr, rclcpp::InitOptions().auto_initialize_logging(false));
    }
    log_->Clear();
    peers_ = std::make_unique<BackgroundExecutor>(2);
    device_ = std::make_unique<execute_engine_test_support::SimulatedService<BottomInteract>>(
      *peers_, "device_controller", "bottom_operate");
    caller_ = std::make_shared<rclcpp::Node>("sync_call_caller");
  }

  std::shared_ptr<engine_test::LogCapture> log_ = engine_test::CaptureProgramLog();
  std::unique_ptr<BackgroundExecutor> peers_;
  std::unique_ptr<execute_engine_test_support::SimulatedService<BottomInteract>> device_;
  rclcpp::Node::SharedPtr caller_;
  ServiceCallHolder<BottomInteract> holder_;
  const std::shared_ptr<BottomInteract::Response> untouched_ = holder_.response;
};

TEST_F(SyncCallServiceTest, RefusedCallsAndAbsentServersSendNothing)
{
  EXPECT_FALSE(SyncCallService(nullptr, "bottom_operate", holder_, kGenerous, kGenerous));
  EXPECT_FALSE(SyncCallService(caller_, "", holder_, kGenerous, kGenerous));
  ServiceCallHolder<LoadMap> load_map;
  EXPECT_FALSE(SyncCallService<LoadMap>(nullptr, load_map, kGenerous, kGenerous));
  // One call at a time per node: a node that an executor holds is refused and stays there.
  rclcpp::executors::SingleThreadedExecutor owner;
  owner.add_node(caller_);
  EXPECT_FALSE(SyncCallService(caller_, "bottom_operate", holder_, kGenerous, kGenerous));
  EXPECT_TRUE(caller_->get_node_base_interface()->get_associated_with_executor_atomic().load());
  owner.remove_node(caller_);
  EXPECT_FALSE(SyncCallService(caller_, "absent", holder_, kGenerous, kShort));
  EXPECT_EQ(
    log_->Messages(),
    (Lines{
      "SyncCallService client is nullptr",
      "SyncCallService server:bottom_operate err_info:Node '/sync_call_caller' has already been "
      "added to an executor.",
      " server:absent not exist"}));
  EXPECT_EQ(holder_.response, untouched_);
  EXPECT_TRUE(device_->Requests().empty());
}

TEST_F(SyncCallServiceTest, BothFormsTakeOnlyAReplyThatComesInTime)
{
  holder_.request->operation = 3;
  BottomInteract::Response answer;
  answer.error_code = 7;
  device_->SetAnswer(answer);
  ASSERT_TRUE(SyncCallService(caller_, "bottom_operate", holder_, kGenerous, kGenerous));
  EXPECT_EQ(holder_.response->error_code, 7);
  EXPECT_EQ(device_->Requests().at(0).operation, 3);
  const auto delivered = holder_.response;
  device_->SetDelay(kShort * 5);
  EXPECT_FALSE(SyncCallService(caller_, "bottom_operate", holder_, kShort, kGenerous));
  EXPECT_EQ(holder_.response, delivered);

  // The client form needs another thread to deliver its reply; a late one finds nothing pending.
  execute_engine_test_support::SimulatedMapServer map_server(*peers_);
  map_server.SetDelay(kShort * 5);
  const auto map_loader = std::make_shared<rclcpp::Node>("map_loader");
  const auto client = map_loader->create_client<LoadMap>("/map_server/load_map");
  BackgroundExecutor serving(1);
  serving.AddNode(map_loader);
  ServiceCallHolder<LoadMap> load_map;
  const auto untouched = load_map.response;
  EXPECT_FALSE(SyncCallService(client, load_map, kShort, kGenerous));
  EXPECT_EQ(client->prune_pending_requests(), 0u);
  EXPECT_EQ(load_map.response, untouched);
  EXPECT_EQ(
    log_->Messages(), (Lines{
                        "SyncCallService server:bottom_operate timeout",
                        "SyncCallService server:/map_server/load_map timeout"}));
}

TEST_F(SyncCallServiceTest, ShutdownEndsANodeFormWaitWithoutTheReply)
{
  device_->SetDelay(std::chrono::minutes(10));
  std::thread shutdown([this] {
    if (device_->WaitForRequests(1, kGenerous)) {
      rclcpp::shutdown();
    }
  });
  EXPECT_FALSE(
    SyncCallService(caller_, "bottom_operate", holder_, std::chrono::minutes(10), kGenerous));
  shutdown.join();
  EXPECT_EQ(log_->Messages(), Lines{"SyncCallService server:bottom_operate interrupted"});
  EXPECT_EQ(holder_.response, untouched_);
}

}  // namespace
