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
#include "execute_engine_test_support/background_executor.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_service.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/srv/bottom_interact_srv.hpp"

namespace
{

using namespace std::chrono_literals;
using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;
using LoadMap = nav2_msgs::srv::LoadMap;
using common_util::ServiceCallHolder;
using common_util::SyncCallService;
using execute_engine_test_support::BackgroundExecutor;
using execute_engine_test_support::SimulatedMapServer;
using execute_engine_test_support::SimulatedService;

// Bounds that a passing call never reaches: it returns as soon as the reply is there.
constexpr auto kGenerous = 10s;
// The wait a test sits out when the server is absent or the reply is scripted to come late.
constexpr auto kShort = 100ms;
constexpr auto kLateReplyDelay = 500ms;

class SyncCallServiceTest : public ::testing::Test
{
protected:
  // One test shuts ROS down, so every test brings it up if need be.
  void SetUp() override
  {
    log_ = engine_test::CaptureProgramLog();
    if (!rclcpp::ok()) {
      rclcpp::init(0, nullptr);
    }
    log_->Clear();
    peers_ = std::make_unique<BackgroundExecutor>(2);
    device_controller_ = std::make_unique<SimulatedService<BottomInteract>>(
      *peers_, "device_controller", "bottom_operate");
    caller_ = std::make_shared<rclcpp::Node>("sync_call_caller");
  }

  static BottomInteract::Response DeviceAnswer(int32_t error_code, const std::string & message)
  {
    BottomInteract::Response answer;
    answer.error_code = error_code;
    answer.message = message;
    return answer;
  }

  std::shared_ptr<engine_test::LogCapture> log_;
  std::unique_ptr<BackgroundExecutor> peers_;
  std::unique_ptr<SimulatedService<BottomInteract>> device_controller_;
  rclcpp::Node::SharedPtr caller_;
};

TEST_F(SyncCallServiceTest, RefusedCallsAndAbsentServersSendNothing)
{
  ServiceCallHolder<BottomInteract> holder;
  const auto untouched = holder.response;
  EXPECT_FALSE(SyncCallService(nullptr, "bottom_operate", holder, kGenerous, kGenerous));
  EXPECT_FALSE(SyncCallService(caller_, "", holder, kGenerous, kGenerous));
  EXPECT_EQ(log_->Count(""), 0u);

  ServiceCallHolder<LoadMap> load_map;
  EXPECT_FALSE(SyncCallService<LoadMap>(nullptr, load_map, kGenerous, kGenerous));
  EXPECT_EQ(log_->Count("SyncCallService client is nullptr"), 1u);

  auto busy = std::make_shared<rclcpp::Node>("busy_node", "/robot");
  rclcpp::executors::SingleThreadedExecutor owner;
  owner.add_node(busy);
  EXPECT_FALSE(SyncCallService(busy, "bottom_operate", holder, kGenerous, kGenerous));
  EXPECT_EQ(
    log_->Count(
      "SyncCallService server:bottom_operate err_info:Node '/robot/busy_node' has already been "
      "added to an executor."),
    1u);
  EXPECT_TRUE(busy->get_node_base_interface()->get_associated_with_executor_atomic().load());

  // An absent server is reported after the service timeout.
  EXPECT_FALSE(SyncCallService(caller_, "no_such_service", holder, kGenerous, kShort));
  // The node form's text begins with a blank, the client form's does not.
  EXPECT_EQ(log_->Count(" server:no_such_service not exist"), 1u);

  auto in_namespace = std::make_shared<rclcpp::Node>("map_loader", "/robot");
  auto client = in_namespace->create_client<LoadMap>("load_map");
  EXPECT_FALSE(SyncCallService(client, load_map, kGenerous, kShort));
  EXPECT_EQ(log_->Count("server:/robot/load_map not exist"), 1u);
  EXPECT_EQ(log_->Count(" server:/robot/load_map not exist"), 0u);

  EXPECT_EQ(holder.response, untouched);
  EXPECT_TRUE(device_controller_->Requests().empty());
}

TEST_F(SyncCallServiceTest, NodeFormStoresOnlyAReplyThatComesInTime)
{
  ServiceCallHolder<BottomInteract> holder;
  holder.request->operation = 3;
  std::weak_ptr<BottomInteract::Response> constructed = holder.response;
  device_controller_->SetAnswer(DeviceAnswer(7, "accepted"));

  ASSERT_TRUE(SyncCallService(caller_, "bottom_operate", holder, kGenerous, kGenerous));
  EXPECT_TRUE(constructed.expired());
  EXPECT_EQ(holder.response->error_code, 7);
  EXPECT_EQ(holder.response->message, "accepted");
  ASSERT_EQ(device_controller_->Requests().size(), 1u);
  EXPECT_EQ(device_controller_->Requests()[0].operation, 3);
  EXPECT_EQ(log_->Count(""), 0u);

  // A late reply leaves the holder with the reply of its last successful call.
  const auto delivered = holder.response;
  device_controller_->SetAnswer(DeviceAnswer(9, "late"));
  device_controller_->SetDelay(kLateReplyDelay);
  EXPECT_FALSE(SyncCallService(caller_, "bottom_operate", holder, kShort, kGenerous));
  EXPECT_EQ(log_->Count("SyncCallService server:bottom_operate timeout"), 1u);
  ASSERT_TRUE(device_controller_->WaitForReplies(2, kGenerous));
  EXPECT_EQ(holder.response, delivered);
  EXPECT_EQ(holder.response->error_code, 7);
}

TEST_F(SyncCallServiceTest, ClientFormNeedsAnotherThreadToDeliverTheReply)
{
  SimulatedMapServer map_server(*peers_);
  map_server.SetResult(LoadMap::Response::RESULT_UNDEFINED_FAILURE);
  auto map_loader = std::make_shared<rclcpp::Node>("map_loader");
  auto client = map_loader->create_client<LoadMap>("/map_server/load_map");

  ServiceCallHolder<LoadMap> unserved;
  const auto untouched = unserved.response;
  EXPECT_FALSE(SyncCallService(client, unserved, kShort, kGenerous));
  EXPECT_EQ(log_->Count("SyncCallService server:/map_server/load_map timeout"), 1u);
  EXPECT_EQ(client->prune_pending_requests(), 0u);

  // Once served, the client first receives the reply that came too late; it must go nowhere.
  map_server.SetResult(LoadMap::Response::RESULT_INVALID_MAP_DATA);
  BackgroundExecutor serving(2);
  serving.AddNode(map_loader);
  ServiceCallHolder<LoadMap> served;
  served.request->map_url = "/maps/a.yaml";
  std::weak_ptr<LoadMap::Response> constructed = served.response;
  ASSERT_TRUE(SyncCallService(client, served, kGenerous, kGenerous));
  EXPECT_TRUE(constructed.expired());
  EXPECT_EQ(served.response->result, LoadMap::Response::RESULT_INVALID_MAP_DATA);
  EXPECT_EQ(map_server.MapUrls(), (std::vector<std::string>{"", "/maps/a.yaml"}));
  EXPECT_EQ(unserved.response, untouched);
}

TEST_F(SyncCallServiceTest, ShutdownEndsANodeFormWaitWithoutTheReply)
{
  device_controller_->SetDelay(std::chrono::minutes(10));
  std::thread shutdown([this] {
    if (device_controller_->WaitForRequests(1, kGenerous)) {
      rclcpp::shutdown();
    }
  });
  ServiceCallHolder<BottomInteract> holder;
  const auto untouched = holder.response;
  const bool answered =
    SyncCallService(caller_, "bottom_operate", holder, std::chrono::minutes(10), kGenerous);
  shutdown.join();

  EXPECT_FALSE(answered);
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_EQ(log_->Count("SyncCallService server:bottom_operate interrupted"), 1u);
  EXPECT_EQ(log_->Count("timeout"), 0u);
  EXPECT_EQ(holder.response, untouched);
}

}  // namespace
