// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "common_util/util.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"

namespace
{

using namespace std::chrono_literals;
using common_util::ServiceCallHolder;
using common_util::SyncCallService;
namespace support = execute_engine_test_support;

// Bounds that a passing call never reaches: it returns as soon as the reply is there.
constexpr auto kGenerous = 10s;
// The wait for a reply scripted to come late. A late reply is late only for the response
// timeout, so a call that swapped the two takes it.
constexpr auto kShort = 100ms;

// What the command nodes' calls do not show: replies after the response timeout, and the ways a
// call ends without one. ROS comes up without a log file, which real ROS would leave in the home
// directory, and goes down at the end.
TEST(SyncCallServiceTest, BothFormsTakeOnlyAReplyInTimeTheNodeFormOnAFreeNodeUntilShutdown)
{
  rclcpp::init(0, nullptr, rclcpp::InitOptions().auto_initialize_logging(false));
  support::BackgroundExecutor peers(2);
  // Left before the device, whose reply then no longer holds the executor.
  support::SimulatedMapServer map_server(peers);
  support::SimulatedDeviceController device(peers);
  const auto caller = std::make_shared<common_util::PrivateNode>("sync_call_caller");
  ServiceCallHolder<velmarin_protocol::srv::BottomInteractSrv> holder;
  const auto untouched = holder.response;
  // One call at a time per node: a node that an executor holds is refused.
  rclcpp::executors::SingleThreadedExecutor owner;
  owner.add_node(caller);
  EXPECT_FALSE(SyncCallService(caller, "bottom_operate", holder, kGenerous, kGenerous));
  owner.remove_node(caller);
  device.SetDelay(kShort * 5);
  EXPECT_FALSE(SyncCallService(caller, "bottom_operate", holder, kShort, kGenerous));
  // The node's kept client gets that late reply (error code 0) while the next call spins for
  // its own, answered 7.
  std::thread answer_next([&] {
    if (device.WaitForRequests(2, kGenerous)) {
      device.SetErrorCode(7);
    }
  });
  ServiceCallHolder<velmarin_protocol::srv::BottomInteractSrv> next;
  EXPECT_TRUE(SyncCallService(caller, "bottom_operate", next, kGenerous, kGenerous));
  answer_next.join();
  EXPECT_EQ(next.response->error_code, 7);

  // The client form needs another thread to deliver its reply; a late one finds nothing pending.
  map_server.SetDelay(kShort * 5);
  const auto map_loader = std::make_shared<rclcpp::Node>("map_loader");
  const auto client = map_loader->create_client<nav2_msgs::srv::LoadMap>("/map_server/load_map");
  support::BackgroundExecutor serving(1);
  serving.AddNode(map_loader);
  ServiceCallHolder<nav2_msgs::srv::LoadMap> load_map;
  EXPECT_FALSE(SyncCallService(client, load_map, kShort, kGenerous));
  EXPECT_EQ(client->prune_pending_requests(), 0u);

  device.SetDelay(std::chrono::minutes(10));
  std::thread shutdown([&] {
    if (device.WaitForRequests(3, kGenerous)) {
      rclcpp::shutdown();
    }
  });
  EXPECT_FALSE(
    SyncCallService(caller, "bottom_operate", holder, std::chrono::minutes(10), kGenerous));
  shutdown.join();
  EXPECT_EQ(holder.response, untouched);
}

}  // namespace
