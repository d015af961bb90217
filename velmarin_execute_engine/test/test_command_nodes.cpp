// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/cmd_manager.hpp"
#include "execute_engine/init_tree_node.hpp"
#include "execute_engine/procter_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine/slam_tree_node.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"

namespace
{

using namespace std::chrono_literals;
using BT::NodeStatus;
using engine_test::TickOutcome;
using Names = std::vector<std::string>;
namespace support = execute_engine_test_support;

const TickOutcome kSucceeded{NodeStatus::FAILURE, 1, 0, 0};
const TickOutcome kFailed{NodeStatus::SUCCESS, 0, 1, 0};
const TickOutcome kUnhandled{NodeStatus::FAILURE, 0, 0, 0};
// Later than the one-second wait for the service that every call makes first, and within its
// wait for the reply: a call that swapped the two, or cut the second to about the first,
// misses the reply.
constexpr auto kLateReply = 1300ms;

// The Sentinel of every model for requests of every model id, with counters as an earlier node
// of the same tick may have left them: only the Sentinel of the request's own model clears them.
TEST(SentinelTest, EachModelAcceptsExactlyItsCommandsAndClearsOnlyItsOwnCounters)
{
  const auto * manager = execute_engine::CmdManager::GetInstance();
  execute_engine::StatusBlock * status = g_execute_engine->GetStatus();
  // Command code to the models that accept it.
  const std::map<int, std::set<int>> accepted_by = {
    {1, {1}},          {2, {1, 2, 4, 5}}, {8, {1, 2, 4, 5}}, {101, {1, 2, 4, 5}}, {102, {2, 4}},
    {4, {2, 3, 4, 5}}, {5, {2, 3, 4, 5}}, {6, {2, 3, 4, 5}}, {7, {2, 3, 4, 5}},   {201, {3, 4}},
    {202, {4}},        {301, {5}},        {302, {5}},        {401, {6}},          {402, {6}},
    {403, {2, 4, 6}},  {0, {}},           {3, {}},           {103, {}},           {-1, {}}};
  for (int model_id = -1; model_id <= 7; ++model_id) {
    for (int model = 1; model <= 6; ++model) {
      for (const auto & [cmd, models] : accepted_by) {
        SCOPED_TRACE(testing::Message() << model << " " << model_id << " " << cmd);
        execute_engine::ExecuteEngine::Request request;
        request.command.model_id = model_id;
        request.command.cmd = cmd;
        *status = execute_engine::StatusBlock{3, 4, 5};
        const bool own = model == model_id;
        const bool accepted = own && models.count(model) != 0;
        EXPECT_EQ(
          manager->Sentinel(model, &request), accepted ? NodeStatus::SUCCESS : NodeStatus::FAILURE);
        EXPECT_EQ(manager->Accepts(model_id, cmd), models.count(model_id) != 0);
        EXPECT_EQ(status->success_count + status->failure_count, own ? 0u : 7u);
        EXPECT_EQ(status->error_code, 5);
      }
    }
  }
}

using CommandNodeTest = engine_test::NodeTest;

TEST_F(CommandNodeTest, ProcterReturnsFailureWhateverTheDeviceCallDid)
{
  execute_engine::ProcterTreeNode procter("Procter", {});
  // Before any controller served in this process, which the graph may show for a while after.
  EXPECT_EQ(Outcome(procter, Command(201)), (TickOutcome{NodeStatus::FAILURE, 0, 1, 0}));
  support::SimulatedDeviceController controller(*peers_);
  for (int cmd : {4, 5, 6, 7, 202}) {
    EXPECT_EQ(Outcome(procter, cmd), cmd == 202 ? kUnhandled : kSucceeded) << cmd;
  }
  auto request = Command(201);
  request->devices.aux_device.duty = -3;  // the whole block goes to the controller
  controller.SetDelay(kLateReply);
  EXPECT_EQ(Outcome(procter, request), kSucceeded);
  EXPECT_EQ(controller.Requests().at(0).devices, request->devices);
  // A refusal keeps the request's first error code; a failed call sets none.
  controller.SetDelay(0ms);
  controller.SetErrorCode(42);
  EXPECT_EQ(Outcome(procter, Command(201)), (TickOutcome{NodeStatus::FAILURE, 0, 1, 42}));
  EXPECT_EQ(Outcome(procter, Command(201), 7), (TickOutcome{NodeStatus::FAILURE, 0, 1, 7}));
}

TEST_F(CommandNodeTest, SlamFinishesOnlyTheFirstActiveTrajectoryAndDeletesOnlyWhatItFinished)
{
  execute_engine::SlamTreeNode slam("Slam", {});
  const std::string start =
    "map_start_trajectory /opt/velmarin/install/share/cartographer_ros/mapping_config/config/"
    "pepperl_fuchs.lua";
  const std::string loc = "loc_get_trajectory_states", map = "map_get_trajectory_states";
  const std::string save = "map_write_state /opt/velmarin/maps/-3.pbstream";
  struct Row
  {
    int cmd;
    std::vector<int32_t> ids;
    std::vector<uint8_t> states;  // 0: active; read only where both lists have an entry
    Names calls;
  };
  // clang-format off
  for (const auto & [cmd, ids, states, calls] : std::vector<Row>{
         {301, {3, 4, 5}, {1, 0, 0}, {loc, "loc_finish_trajectory 4", start}},
         {301, {4, 5}, {1, 0, 0}, {loc, "loc_finish_trajectory 5", start}},
         {301, {3}, {1}, {loc, start}},
         {302, {7}, {0}, {map, "map_finish_trajectory 7", save}},
         {302, {}, {}, {map, save}},
         {4, {2, 7, 9}, {1, 0, 0}, {map, "map_finish_trajectory 7", "map_delete_trajectory 7"}},
         {4, {0, 1}, {1, 1}, {map}},  // trajectory 0 is a finished one worth keeping
         {4, {4, 5, 6}, {1}, {map}}}) {
    // clang-format on
    support::SimulatedMappingPeers peers(*peers_);
    peers.Script(ids, states);
    auto request = Command(cmd);
    request->map_id = -3;
    EXPECT_EQ(Outcome(slam, request), kSucceeded) << cmd;
    EXPECT_EQ(peers.Calls(), calls) << cmd;
  }
  for (int cmd : {5, 6, 7, 101, 2, 8}) {
    EXPECT_EQ(Outcome(slam, cmd), cmd == 2 || cmd == 8 ? kUnhandled : kFailed) << cmd;
  }
}

// Start, save and cancel side by side, each on a node of its own (ticks would share the
// engine's status block), so that they wait out their peers' delays or absences together.
std::vector<bool> StartSaveAndCancel()
{
  execute_engine::SlamTreeNode starting("Slam", {}), saving("Slam", {}), cancelling("Slam", {});
  const auto request = std::make_shared<execute_engine::ExecuteEngine::Request>();
  auto started = std::async(std::launch::async, [&] { return starting.SlamWork(request); });
  auto saved = std::async(std::launch::async, [&] { return saving.SlamComplete(request); });
  const bool cancelled = cancelling.Cancel(request);
  return {started.get(), saved.get(), cancelled};
}

TEST_F(CommandNodeTest, SlamCallsTakeLateRepliesAndAFailedFinishEndsTheCommand)
{
  {
    support::SimulatedMappingPeers late(*peers_);
    late.Script({1}, {0}, kLateReply);
    EXPECT_EQ(StartSaveAndCancel(), (std::vector<bool>{true, true, true}));
  }
  support::SimulatedMappingPeers peers(*peers_, {"loc_finish_trajectory", "map_finish_trajectory"});
  peers.Script({1}, {0});
  EXPECT_EQ(StartSaveAndCancel(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(peers.Calls().size(), 3u);  // the states each read first, and nothing after
}

// "InitPos" on the engine running on the topic node, spun as main spins it, with a listener of
// the published poses beside. Waits out the one-second wait for an absent map server, once,
// before any map server served in this process.
TEST_F(CommandNodeTest, InitPosPublishesThePoseWithTheRequestsMapOnlyOnceTheMapIsLoaded)
{
  using LoadMap = nav2_msgs::srv::LoadMap;
  const auto topic = std::make_shared<execute_engine::Ros2Topic>();
  support::BackgroundExecutor system(2);
  system.AddNode(topic);
  support::LocalizationMapAndPoseRecorder poses(system);
  ASSERT_TRUE(engine()->Init(topic, TreeXml("<AlwaysSuccess/>"), true));
  execute_engine::InitTreeNode init_pos("InitPos", {});
  const auto init = [&](const std::string & map_path, double x, double angle) {
    auto request = Command(1);
    request->map_path = map_path;
    request->initial_pose.x = x;
    request->initial_pose.y = x + 1.0;
    request->initial_pose.angle = angle;
    return Outcome(init_pos, request);
  };
  EXPECT_EQ(init("/maps/a.pbstream", 1.0, 0.0), kFailed);
  support::SimulatedMapServer map_server(*peers_);
  // clang-format off
  for (const auto & [map_path, angle, result] : std::vector<std::tuple<std::string, double, uint8_t>>{
         {"/maps/a.pbstream", std::nan(""), 0}, {"/maps/a.pbstream", -HUGE_VAL, 0},
         {"/maps/a.yaml", 0.0, 0}, {"", 0.0, 0},
         {"/maps/b.pbstream", 0.0, LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST}}) {
    // clang-format on
    map_server.SetResult(result);
    EXPECT_EQ(init(map_path, 1.0, angle), kFailed) << map_path;
  }
  map_server.SetResult(LoadMap::Response::RESULT_SUCCESS);
  EXPECT_EQ(init("/maps/a.pbstream", 1.0, 0.0), kSucceeded);
  // Only the first ".pbstream" becomes ".yaml", and only in the load request.
  map_server.SetDelay(kLateReply);
  EXPECT_EQ(init("/x.pbstream/m.pbstream", -3.5, 7.0), kSucceeded);
  EXPECT_EQ(map_server.Requests().at(1).map_url, "/maps/a.yaml");
  EXPECT_EQ(map_server.Requests().at(2).map_url, "/x.yaml/m.pbstream");

  // No message goes out for a rejected attempt.
  ASSERT_TRUE(poses.WaitFor(2, 10s));
  const auto messages = poses.Messages();
  // Every field at its default (stamp zero, empty aux texts, no rotation) but these.
  velmarin_protocol::msg::LocalizationMapAndPose expected;
  auto & pose = expected.pose.pose;
  expected.pose.header.frame_id = "map";
  pose.covariance[0] = pose.covariance[7] = 0.25;
  pose.covariance[35] = 0.06853891945200942;
  pose.pose.position.x = 1.0;
  pose.pose.position.y = 2.0;
  expected.map_path = "/maps/a.pbstream";
  EXPECT_EQ(messages[0], expected);
  // 7 rad is wrapped by one turn first, which flips the quaternion's sign.
  EXPECT_EQ(messages[1].pose.pose.pose.orientation.z, std::sin((7.0 - 2.0 * M_PI) / 2.0));
  EXPECT_EQ(messages[1].pose.pose.pose.orientation.w, std::cos((7.0 - 2.0 * M_PI) / 2.0));
  EXPECT_EQ(messages[1].map_path, "/x.pbstream/m.pbstream");

  EXPECT_EQ(Outcome(init_pos, 2), kUnhandled);
  InitTree("<AlwaysSuccess/>");
  EXPECT_EQ(init("/maps/c.pbstream", 5.0, 0.0), kFailed);
  EXPECT_EQ(map_server.Requests().size(), 3u);
}

}  // namespace
