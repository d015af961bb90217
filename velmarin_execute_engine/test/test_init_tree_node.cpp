// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/init_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"

namespace
{

using namespace std::chrono_literals;
using BT::NodeStatus;
using engine_test::TickOutcome;
using execute_engine_test_support::BackgroundExecutor;

// The engine on the topic node, spun as main spins it, with the map server and a listener of
// the published poses beside.
class InitTreeNodeTest : public engine_test::NodeTest
{
protected:
  void SetUp() override
  {
    NodeTest::SetUp();
    map_server_ = std::make_unique<execute_engine_test_support::SimulatedMapServer>(*peers_);
    poses_ = std::make_unique<execute_engine_test_support::LocalizationMapAndPoseRecorder>(*peers_);
    system_ = std::make_unique<BackgroundExecutor>(2);
    system_->AddNode(topic_);
    ASSERT_TRUE(engine()->Init(topic_, TreeXml("<AlwaysSuccess/>"), true));
  }

  void TearDown() override
  {
    system_.reset();
    poses_.reset();
    map_server_.reset();
    NodeTest::TearDown();
  }

  static std::shared_ptr<Request> PoseRequest(const std::string & map_path, double x)
  {
    auto request = Command(1);
    request->command.model_id = 1;
    request->map_path = map_path;
    request->initial_pose.x = x;
    return request;
  }

  std::unique_ptr<execute_engine_test_support::SimulatedMapServer> map_server_;
  std::unique_ptr<execute_engine_test_support::LocalizationMapAndPoseRecorder> poses_;
  std::shared_ptr<execute_engine::Ros2Topic> topic_ = std::make_shared<execute_engine::Ros2Topic>();
  std::unique_ptr<BackgroundExecutor> system_;
  execute_engine::InitTreeNode init_pos_{"InitPos", BT::NodeConfiguration()};
};

TEST_F(InitTreeNodeTest, PoseCommandSucceedsOnlyWhenThePoseIsPublished)
{
  const TickOutcome published{NodeStatus::FAILURE, 1, 0, 0};
  const TickOutcome not_published{NodeStatus::SUCCESS, 0, 1, 0};
  EXPECT_EQ(Outcome(init_pos_, PoseRequest("/maps/hall.pbstream", 1.5)), published);
  ASSERT_TRUE(poses_->WaitFor(1, 10s));
  EXPECT_EQ(poses_->Messages()[0].pose.pose.pose.position.x, 1.5);

  auto no_heading = PoseRequest("/maps/hall.pbstream", 1.0);
  no_heading->initial_pose.angle = std::nan("");
  EXPECT_EQ(Outcome(init_pos_, no_heading), not_published);
  EXPECT_EQ(Outcome(init_pos_, PoseRequest("/maps/hall.yaml", 1.0)), not_published);
  map_server_->SetResult(nav2_msgs::srv::LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST);
  EXPECT_EQ(Outcome(init_pos_, PoseRequest("/maps/lost.pbstream", 2.0)), not_published);
  EXPECT_EQ(
    map_server_->MapUrls(), (std::vector<std::string>{"/maps/hall.yaml", "/maps/lost.yaml"}));
  EXPECT_EQ(poses_->Messages().size(), 1u);

  EXPECT_EQ(Outcome(init_pos_, 2), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0}));
  EXPECT_EQ(log_->Count("miss cmd:2"), 1u);
}

TEST_F(InitTreeNodeTest, EngineNodeOtherThanTheTopicNodeFailsThePose)
{
  InitTree("<AlwaysSuccess/>");
  EXPECT_EQ(
    Outcome(init_pos_, PoseRequest("/maps/hall.pbstream", 1.0)),
    (TickOutcome{NodeStatus::SUCCESS, 0, 1, 0}));
  EXPECT_EQ(log_->Count("InitPos needs the engine's node to be the topic node"), 1u);
  EXPECT_TRUE(map_server_->MapUrls().empty());
}

}  // namespace
