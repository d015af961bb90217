// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/slam_tree_node.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"

namespace
{

using BT::NodeStatus;
using execute_engine::SlamTreeNode;
using Peers = execute_engine_test_support::SimulatedMappingPeers;
using engine_test::TickOutcome;
using Names = std::vector<std::string>;

constexpr int kCancel = 4;
constexpr int kSlamWork = 301;
constexpr int kSlamComplete = 302;
constexpr uint8_t kActive = 0;
constexpr uint8_t kFinished = 1;

const TickOutcome kSucceeded{NodeStatus::FAILURE, 1, 0, 0};

class SlamTreeNodeTest : public engine_test::NodeTest
{
protected:
  void SetUp() override
  {
    NodeTest::SetUp();
    ServeAllBut({});
  }

  void TearDown() override
  {
    peers_of_slam_.reset();
    NodeTest::TearDown();
  }

  // Fresh peers, without the services named in `absent`.
  Peers & ServeAllBut(const std::set<std::string> & absent)
  {
    peers_of_slam_.reset();
    peers_of_slam_ = std::make_unique<Peers>(*peers_, absent);
    return *peers_of_slam_;
  }

  TickOutcome SaveMap(int32_t map_id)
  {
    auto request = Command(kSlamComplete);
    request->map_id = map_id;
    return Outcome(slam_, request);
  }

  std::unique_ptr<Peers> peers_of_slam_;
  SlamTreeNode slam_{"Slam", BT::NodeConfiguration()};
};

TEST_F(SlamTreeNodeTest, StatusAndCountsFollowTheHandler)
{
  for (int cmd : {5, 6, 7, 101}) {
    EXPECT_EQ(Outcome(slam_, cmd), (TickOutcome{NodeStatus::SUCCESS, 0, 1, 0})) << cmd;
    EXPECT_EQ(log_->Count(""), 0u) << cmd;
  }
  // Commands the mapping model accepts that this node does not handle.
  for (int cmd : {2, 8}) {
    EXPECT_EQ(Outcome(slam_, cmd), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0})) << cmd;
    EXPECT_EQ(log_->Count("miss cmd:" + std::to_string(cmd)), 1u) << cmd;
  }
  EXPECT_TRUE(peers_of_slam_->Calls().empty());
}

// Each command finishes only the first trajectory its state list marks active, reading the ids
// and states only where both lists have an entry, and cancel deletes only what it finished.
TEST_F(SlamTreeNodeTest, CommandsFinishOnlyTheFirstActiveTrajectory)
{
  using Ids = std::vector<int32_t>;
  // Both state lists are set alike; the calls show which one the command read.
  struct Row
  {
    int cmd;
    Ids ids;
    std::vector<uint8_t> states;
    Names calls;
    Ids finished;
  };
  const Names start{"loc_get_trajectory_states", "loc_finish_trajectory", "map_start_trajectory"};
  const Names save{"map_get_trajectory_states", "map_finish_trajectory", "map_write_state"};
  const Names cancel{"map_get_trajectory_states", "map_finish_trajectory", "map_delete_trajectory"};
  const std::vector<Row> rows = {
    {kSlamWork, {3, 4, 5}, {kFinished, kActive, kActive}, start, {4}},
    {kSlamWork, {4, 5}, {kFinished, kActive, kActive}, start, {5}},
    {kSlamWork, {3}, {kFinished}, {start[0], start[2]}, {}},
    {kSlamComplete, {7}, {kActive}, save, {7}},
    {kSlamComplete, {}, {}, {save[0], save[2]}, {}},
    {kCancel, {2, 7, 9}, {kFinished, kActive, kActive}, cancel, {7}},
    // Trajectory 0 is a finished one worth keeping.
    {kCancel, {0, 1}, {kFinished, kFinished}, {cancel[0]}, {}},
    {kCancel, {4, 5, 6}, {kFinished}, {cancel[0]}, {}},
  };
  const auto ids_of = [](const auto & requests) {
    Ids ids;
    for (const auto & request : requests) {
      ids.push_back(request.trajectory_id);
    }
    return ids;
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const Row & row = rows[i];
    Peers & peers = ServeAllBut({});
    peers.SetLocTrajectories(row.ids, row.states);
    peers.SetMapTrajectories(row.ids, row.states);
    EXPECT_EQ(Outcome(slam_, row.cmd), kSucceeded);
    EXPECT_EQ(peers.Calls(), row.calls);
    Ids finished = ids_of(peers.Requests<Peers::LocFinishTrajectory>());
    const Ids map_finished = ids_of(peers.Requests<Peers::MapFinishTrajectory>());
    finished.insert(finished.end(), map_finished.begin(), map_finished.end());
    EXPECT_EQ(finished, row.finished);
    EXPECT_EQ(
      ids_of(peers.Requests<Peers::MapDeleteTrajectory>()),
      row.cmd == kCancel ? row.finished : Ids{});
  }
}

TEST_F(SlamTreeNodeTest, StartAndSaveUseTheFixedPathsWhateverStatusThePeerReports)
{
  EXPECT_EQ(Outcome(slam_, kSlamWork), kSucceeded);
  Peers::MapStartTrajectory::Request start;
  start.configuration_directory =
    "/opt/velmarin/install/share/cartographer_ros/mapping_config/config";
  start.configuration_basename = "pepperl_fuchs.lua";
  EXPECT_EQ(
    peers_of_slam_->Requests<Peers::MapStartTrajectory>(),
    std::vector<Peers::MapStartTrajectory::Request>{start});

  peers_of_slam_->SetStatusCode(1);
  EXPECT_EQ(SaveMap(12), kSucceeded);
  EXPECT_EQ(SaveMap(0), kSucceeded);
  Names files;
  for (const auto & save : peers_of_slam_->Requests<Peers::MapWriteState>()) {
    EXPECT_TRUE(save.write_flag);
    files.push_back(save.filename);
  }
  EXPECT_EQ(files, (Names{"/opt/velmarin/maps/12.pbstream", "/opt/velmarin/maps/0.pbstream"}));
}

TEST_F(SlamTreeNodeTest, FailedFinishEndsTheCommand)
{
  Peers & peers = ServeAllBut({"loc_finish_trajectory", "map_finish_trajectory"});
  peers.SetLocTrajectories({1}, {kActive});
  peers.SetMapTrajectories({1}, {kActive});

  // Each command waits out the wait for its absent finish service, so three nodes wait side by
  // side. Their handlers are called directly: ticks would share the engine's status block.
  SlamTreeNode starting_node("Slam", BT::NodeConfiguration());
  SlamTreeNode saving_node("Slam", BT::NodeConfiguration());
  auto request = Command(kSlamComplete);
  auto starting = std::async(std::launch::async, [&] { return starting_node.SlamWork(request); });
  auto saving = std::async(std::launch::async, [&] { return saving_node.SlamComplete(request); });
  EXPECT_FALSE(slam_.Cancel(request));
  EXPECT_FALSE(starting.get());
  EXPECT_FALSE(saving.get());

  EXPECT_EQ(log_->Count("map finish trajectory fail"), 1u);
  EXPECT_EQ(log_->Count("loc finish trajectory fail", false), 1u);
  Names calls = peers.Calls();
  std::sort(calls.begin(), calls.end());
  EXPECT_EQ(
    calls,
    (Names{"loc_get_trajectory_states", "map_get_trajectory_states", "map_get_trajectory_states"}));
}

}  // namespace
