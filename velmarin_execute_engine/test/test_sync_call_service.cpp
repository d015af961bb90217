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
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"

namespace
{

using namespace std::chrono_literals;
using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;
using LoadMap = nav2_msgs::srv::LoadMap;
using Lines = std::vector<std::string>;
using common_util::ServiceCallHolder;
using common_util::SyncCallService;
namespace support = execute_engine_test_support;

// Bounds that a passing call never reaches: it returns as soon as the reply is there.
constexpr auto kGenerous = 10s;
// The wait for a reply scripted to come late. A late reply is late only for the response
// timeout, so a call that swapped the two takes it.
constexpr auto kShort = 100ms;

// What the command nodes' calls do not show: replies after the response timeout, and the ways a
// call ends without one.
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
    peers_ = std::make_unique<support::BackgroundExecutor>(2);
    device_ = std::make_unique<support::SimulatedDeviceController>(*peers_);
    caller_ = std::make_shared<rclcpp::Node>("sync_call_caller");
  }

  bool Call(std::chrono::milliseconds response_timeout)
  {
    return SyncCallService(caller_, "bottom_operate", holder_, response_timeout, kGenerous);
  }

  std::shared_ptr<engine_test::LogCapture> log_ = engine_test::CaptureProgramLog();
  std::unique_ptr<support::BackgroundExecutor> peers_;
  std::unique_ptr<support::SimulatedDeviceController> device_;
  rclcpp::Node::SharedPtr caller_;
  ServiceCallHolder<BottomInteract> holder_;
  const std::shared_ptr<BottomInteract::Response> untouched_ = holder_.response;
};

TEST_F(SyncCallServiceTest, BothFormsTakeOnlyAReplyInTimeAndTheNodeFormOnlyOnAFreeNode)
{
  // One call at a time per node: a node that an executor holds is refused and stays there.
  rclcpp::executors::SingleThreadedExecutor owner;
  owner.add_node(caller_);
  EXPECT_FALSE(Call(kGenerous));
  EXPECT_TRUE(caller_->get_node_base_interface()->get_associated_with_executor_atomic().load());
  owner.remove_node(caller_);
  device_->SetDelay(kShort * 5);
  EXPECT_FALSE(Call(kShort));
  EXPECT_EQ(holder_.response, untouched_);

  // The client form needs another thread to deliver its reply; a late one finds nothing pending.
  support::SimulatedMapServer map_server(*peers_);
  map_server.SetDelay(kShort * 5);
  const auto map_loader = std::make_shared<rclcpp::Node>("map_loader");
  const auto client = map_loader->create_client<LoadMap>("/map_server/load_map");
  support::BackgroundExecutor serving(1);
  serving.AddNode(map_loader);
  ServiceCallHolder<LoadMap> load_map;
  const auto untouched = load_map.response;
  EXPECT_FALSE(SyncCallService(client, load_map, kShort, kGenerous));
  EXPECT_EQ(client->prune_pending_requests(), 0u);
  EXPECT_EQ(load_map.response, untouched);
  EXPECT_EQ(
    log_->Messages(),
    (Lines{
      "SyncCallService server:bottom_operate err_info:Node '/sync_call_caller' has already been "
      "added to an executor.",
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
  EXPECT_FALSE(Call(std::chrono::minutes(10)));
  shutdown.join();
  EXPECT_EQ(log_->Messages(), Lines{"SyncCallService server:bottom_operate interrupted"});
  EXPECT_EQ(holder_.response, untouched_);
}

}  // namespace
