// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "execute_engine/init_tree_node.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"
#include "sync_node_fixture.hpp"

namespace
{

using namespace std::chrono_literals;
using BT::NodeStatus;
using execute_engine::InitTreeNode;
using execute_engine_test_support::BackgroundExecutor;
using execute_engine_test_support::LocalizationMapAndPoseRecorder;
using execute_engine_test_support::SimulatedMapServer;
using sync_node_test::TickOutcome;
using LoadMap = nav2_msgs::srv::LoadMap;

constexpr int kInitPos = 1;
constexpr auto kArrival = 10s;

// The engine on the topic node, spun as main spins it, with the map server and a listener of
// the published poses beside.
class InitTreeNodeTest : public sync_node_test::SyncNodeTest
{
protected:
  void SetUp() override
  {
    SyncNodeTest::SetUp();
    map_server_ = std::make_unique<SimulatedMapServer>(*peers_);
    poses_ = std::make_unique<LocalizationMapAndPoseRecorder>(*peers_);
    topic_ = std::make_shared<execute_engine::Ros2Topic>();
    system_ = std::make_unique<BackgroundExecutor>(2);
    system_->AddNode(topic_);
    ASSERT_TRUE(engine()->Init(topic_, TreeXml("<AlwaysSuccess/>"), true));
    init_pos_ = std::make_unique<InitTreeNode>("InitPos", BT::NodeConfiguration());
  }

  void TearDown() override
  {
    system_.reset();
    poses_.reset();
    map_server_.reset();
    SyncNodeTest::TearDown();
  }

  static std::shared_ptr<Request> PoseRequest(const std::string & map_path, double x)
  {
    auto request = MakeRequest(kInitPos);
    request->command.model_id = 1;
    request->map_path = map_path;
    request->initial_pose.x = x;
    return request;
  }

  std::unique_ptr<SimulatedMapServer> map_server_;
  std::unique_ptr<LocalizationMapAndPoseRecorder> poses_;
  std::shared_ptr<execute_engine::Ros2Topic> topic_;
  std::unique_ptr<BackgroundExecutor> system_;
  std::unique_ptr<InitTreeNode> init_pos_;
};

TEST_F(InitTreeNodeTest, PoseCommandCountsAsSuccessWhetherOrNotTheMapLoads)
{
  EXPECT_EQ(
    Tick(*init_pos_, PoseRequest("/maps/hall.pbstream", 1.5)),
    (TickOutcome{NodeStatus::FAILURE, 1, 0, 0}));
  ASSERT_TRUE(poses_->WaitFor(1, kArrival));
  EXPECT_EQ(poses_->Messages()[0].pose.pose.pose.position.x, 1.5);
  EXPECT_EQ(poses_->Messages()[0].map_path, "/maps/hall.pbstream");

  map_server_->SetResult(LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST);
  EXPECT_EQ(
    Tick(*init_pos_, PoseRequest("/maps/lost.pbstream", 2.0)),
    (TickOutcome{NodeStatus::FAILURE, 1, 0, 0}));
  EXPECT_EQ(
    map_server_->MapUrls(), (std::vector<std::string>{"/maps/hall.yaml", "/maps/lost.yaml"}));

  EXPECT_EQ(Tick(*init_pos_, 2), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0}));
  EXPECT_EQ(sources_->FunctionsOf("miss cmd:2"), std::vector<std::string>{"tick"});
}

TEST_F(InitTreeNodeTest, ExecuteRobotAnswersSuccessAndThePoseGoesOut)
{
  ASSERT_TRUE(engine()->Init(topic_, TreeXml("<InitPos/>"), true));
  auto response = std::make_shared<Response>();
  ASSERT_TRUE(engine()->ScheduleRequest(PoseRequest("/maps/hall.pbstream", 3.0), response));
  EXPECT_EQ(response->result, 0);
  EXPECT_EQ(response->message, "Success");
  ASSERT_TRUE(poses_->WaitFor(1, kArrival));
  EXPECT_EQ(poses_->Messages()[0].pose.pose.pose.position.x, 3.0);
}

TEST_F(InitTreeNodeTest, EngineNodeThatIsNotTheTopicNodeFailsThePose)
{
  InitTree("<AlwaysSuccess/>");
  EXPECT_EQ(
    Tick(*init_pos_, PoseRequest("/maps/hall.pbstream", 1.0)),
    (TickOutcome{NodeStatus::SUCCESS, 0, 1, 0}));
  EXPECT_EQ(log_->Count("InitPos needs the engine's node to be the topic node"), 1u);
  EXPECT_TRUE(map_server_->MapUrls().empty());
}

}  // namespace
