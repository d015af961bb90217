// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "execute_engine/slam_tree_node.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "sync_node_fixture.hpp"

namespace
{

using BT::NodeStatus;
using execute_engine::SlamTreeNode;
using execute_engine_test_support::SimulatedMappingPeers;
using sync_node_test::TickOutcome;
using Names = std::vector<std::string>;
using MapDelete = SimulatedMappingPeers::MapDeleteTrajectory;
using MapFinish = SimulatedMappingPeers::MapFinishTrajectory;
using MapStart = SimulatedMappingPeers::MapStartTrajectory;
using MapWriteState = SimulatedMappingPeers::MapWriteState;
using LocFinish = SimulatedMappingPeers::LocFinishTrajectory;

constexpr int kCancel = 4;
constexpr int kSlamWork = 301;
constexpr int kSlamComplete = 302;

constexpr uint8_t kActive = 0;
constexpr uint8_t kFinished = 1;

const TickOutcome kSucceeded{NodeStatus::FAILURE, 1, 0, 0};
const TickOutcome kFailed{NodeStatus::SUCCESS, 0, 1, 0};

template <typename S>
std::vector<int32_t> TrajectoryIds(const std::vector<typename S::Request> & requests)
{
  std::vector<int32_t> ids;
  for (const auto & request : requests) {
    ids.push_back(request.trajectory_id);
  }
  return ids;
}

class SlamTreeNodeTest : public sync_node_test::SyncNodeTest
{
protected:
  void SetUp() override
  {
    SyncNodeTest::SetUp();
    slam_ = std::make_unique<SlamTreeNode>("Slam", BT::NodeConfiguration());
  }

  void TearDown() override
  {
    mapping_.reset();
    SyncNodeTest::TearDown();
  }

  SimulatedMappingPeers & Peers()
  {
    if (!mapping_) {
      mapping_ = std::make_unique<SimulatedMappingPeers>(*peers_);
    }
    return *mapping_;
  }

  TickOutcome SaveMap(int32_t map_id)
  {
    auto request = MakeRequest(kSlamComplete);
    request->map_id = map_id;
    return Tick(*slam_, request);
  }

  std::unique_ptr<SimulatedMappingPeers> mapping_;
  std::unique_ptr<SlamTreeNode> slam_;
};

TEST_F(SlamTreeNodeTest, StatusAndCountsFollowTheHandler)
{
  Peers();
  for (int cmd : {5, 6, 7, 101}) {
    SCOPED_TRACE(cmd);
    EXPECT_EQ(Tick(*slam_, cmd), kFailed);
    EXPECT_EQ(log_->Count(""), 0u);
  }
  // Commands the mapping model accepts that this node does not handle.
  for (int cmd : {2, 8}) {
    SCOPED_TRACE(cmd);
    EXPECT_EQ(Tick(*slam_, cmd), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0}));
    EXPECT_EQ(
      sources_->FunctionsOf("miss cmd:" + std::to_string(cmd)), std::vector<std::string>{"tick"});
  }
  EXPECT_TRUE(Peers().Calls().empty());

  EXPECT_EQ(Tick(*slam_, kSlamWork), kSucceeded);
}

TEST_F(SlamTreeNodeTest, StartMappingFinishesTheFirstActiveLocalizationTrajectory)
{
  Peers().SetLocTrajectories({3, 4, 5}, {kFinished, kActive, kActive});
  EXPECT_EQ(Tick(*slam_, kSlamWork), kSucceeded);
  EXPECT_EQ(
    Peers().Calls(),
    (Names{"loc_get_trajectory_states", "loc_finish_trajectory", "map_start_trajectory"}));
  EXPECT_EQ(TrajectoryIds<LocFinish>(Peers().Requests<LocFinish>()), std::vector<int32_t>{4});
  MapStart::Request start;
  start.configuration_directory =
    "/opt/velmarin/install/share/cartographer_ros/mapping_config/config";
  start.configuration_basename = "pepperl_fuchs.lua";
  EXPECT_EQ(Peers().Requests<MapStart>(), std::vector<MapStart::Request>{start});

  // Nothing active: nothing finished, the start still goes out.
  mapping_.reset();
  Peers().SetLocTrajectories({3}, {kFinished});
  EXPECT_EQ(Tick(*slam_, kSlamWork), kSucceeded);
  EXPECT_EQ(Peers().Calls(), (Names{"loc_get_trajectory_states", "map_start_trajectory"}));
}

TEST_F(SlamTreeNodeTest, SaveNamesTheFileAfterTheMapId)
{
  Peers().SetMapTrajectories({7}, {kActive});
  EXPECT_EQ(SaveMap(12), kSucceeded);
  EXPECT_EQ(
    Peers().Calls(),
    (Names{"map_get_trajectory_states", "map_finish_trajectory", "map_write_state"}));
  EXPECT_EQ(TrajectoryIds<MapFinish>(Peers().Requests<MapFinish>()), std::vector<int32_t>{7});
  EXPECT_EQ(
    log_->Messages(),
    (Names{
      "step into SlamTreeNode::SlamComplete", "Step into End Map, needSaveMap : true",
      "Step into Finish Traject", "find active trace and finished it success", "End Map Action",
      "Save map success"}));

  // With no active trajectory the map is still written.
  Peers().SetMapTrajectories({}, {});
  EXPECT_EQ(SaveMap(0), kSucceeded);
  EXPECT_EQ(log_->Count("After Finish Traject"), 1u);
  EXPECT_EQ(SaveMap(-3), kSucceeded);

  std::vector<std::string> filenames;
  for (const MapWriteState::Request & save : Peers().Requests<MapWriteState>()) {
    EXPECT_TRUE(save.write_flag);
    filenames.push_back(save.filename);
  }
  EXPECT_EQ(
    filenames, (Names{
                 "/opt/velmarin/maps/12.pbstream", "/opt/velmarin/maps/0.pbstream",
                 "/opt/velmarin/maps/-3.pbstream"}));
  EXPECT_EQ(Peers().Requests<MapFinish>().size(), 1u);
}

TEST_F(SlamTreeNodeTest, CancelDeletesOnlyTheTrajectoryItFinished)
{
  // Two active trajectories: only the first is finished, and that one is deleted.
  Peers().SetMapTrajectories({2, 7, 9}, {kFinished, kActive, kActive});
  EXPECT_EQ(Tick(*slam_, kCancel), kSucceeded);
  EXPECT_EQ(
    Peers().Calls(),
    (Names{"map_get_trajectory_states", "map_finish_trajectory", "map_delete_trajectory"}));
  EXPECT_EQ(TrajectoryIds<MapFinish>(Peers().Requests<MapFinish>()), std::vector<int32_t>{7});
  EXPECT_EQ(TrajectoryIds<MapDelete>(Peers().Requests<MapDelete>()), std::vector<int32_t>{7});
  EXPECT_EQ(log_->Count("Step into End Map, needSaveMap : false"), 1u);
  EXPECT_EQ(log_->Count("Delete Traject success"), 1u);

  // No active trajectory: there is nothing of this mapping run to delete, and trajectory 0
  // may be a finished one worth keeping.
  mapping_.reset();
  Peers().SetMapTrajectories({0, 1}, {kFinished, kFinished});
  EXPECT_EQ(Tick(*slam_, kCancel), kSucceeded);
  EXPECT_EQ(Peers().Calls(), Names{"map_get_trajectory_states"});
  EXPECT_EQ(log_->Count("no active map trajectory, nothing to delete"), 1u);
}

TEST_F(SlamTreeNodeTest, StateListsOfDifferentLengthsAreReadWhereBothHaveEntries)
{
  // Trajectories 5 and 6 have no state: neither counts as active.
  Peers().SetMapTrajectories({4, 5, 6}, {kFinished});
  EXPECT_EQ(Tick(*slam_, kCancel), kSucceeded);
  EXPECT_TRUE(Peers().Requests<MapFinish>().empty());

  Peers().SetLocTrajectories({4, 5}, {kFinished, kActive, kActive});
  EXPECT_EQ(Tick(*slam_, kSlamWork), kSucceeded);
  EXPECT_EQ(TrajectoryIds<LocFinish>(Peers().Requests<LocFinish>()), std::vector<int32_t>{5});
}

TEST_F(SlamTreeNodeTest, FailureStatusInAReplyStillCountsAsSuccess)
{
  Peers().SetStatusCode(1);
  Peers().SetMapTrajectories({7}, {kActive});
  EXPECT_EQ(SaveMap(12), kSucceeded);
  EXPECT_EQ(Peers().Requests<MapWriteState>().size(), 1u);
}

TEST_F(SlamTreeNodeTest, FailedFinishEndsTheCommand)
{
  mapping_ = std::make_unique<SimulatedMappingPeers>(
    *peers_, std::set<std::string>{"loc_finish_trajectory", "map_finish_trajectory"});
  Peers().SetLocTrajectories({1}, {kActive});
  Peers().SetMapTrajectories({1}, {kActive});

  // Each finish waits out the wait for its absent service; three nodes wait side by side.
  // Their handlers are called directly because ticks share the engine's status block.
  auto slam_work = std::make_unique<SlamTreeNode>("Slam", BT::NodeConfiguration());
  auto slam_complete = std::make_unique<SlamTreeNode>("Slam", BT::NodeConfiguration());
  auto request = MakeRequest(kSlamComplete);
  request->map_id = 12;
  auto starting = std::async(std::launch::async, [&] { return slam_work->SlamWork(request); });
  auto saving =
    std::async(std::launch::async, [&] { return slam_complete->SlamComplete(request); });
  EXPECT_FALSE(slam_->Cancel(request));
  EXPECT_FALSE(starting.get());
  EXPECT_FALSE(saving.get());

  EXPECT_EQ(log_->Count("loc finish trajectory fail", false), 1u);
  EXPECT_EQ(log_->Count("map finish trajectory fail"), 1u);
  EXPECT_EQ(log_->Count("map finish trajectory fail", false), 1u);
  EXPECT_TRUE(Peers().Requests<MapStart>().empty());
  EXPECT_TRUE(Peers().Requests<MapWriteState>().empty());
  EXPECT_TRUE(Peers().Requests<MapDelete>().empty());
}

}  // namespace
