// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "execute_engine_test_support/background_executor.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/topic_recorder.hpp"

namespace
{

using namespace std::chrono_literals;
using execute_engine::Ros2Topic;
using execute_engine_test_support::BackgroundExecutor;
using execute_engine_test_support::LocalizationMapAndPoseRecorder;
using execute_engine_test_support::SimulatedMapServer;
using velmarin_protocol::msg::InitialPose;
using LoadMap = nav2_msgs::srv::LoadMap;

constexpr auto kArrival = 10s;
const std::string kLoadMapError = "SyncCallService to load map error!";

InitialPose Pose(double x, double y, double angle)
{
  InitialPose pose;
  pose.x = x;
  pose.y = y;
  pose.angle = angle;
  return pose;
}

// The topic node spun as main spins it, with the map server and the topics' listeners beside.
class Ros2TopicTest : public engine_test::EngineTest
{
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    InitTree("<AlwaysSuccess/>");
    peers_ = std::make_unique<BackgroundExecutor>(2);
    poses_ = std::make_unique<LocalizationMapAndPoseRecorder>(*peers_);
    topic_ = std::make_shared<Ros2Topic>();
  }

  void SpinTopicNode(size_t threads)
  {
    system_ = std::make_unique<BackgroundExecutor>(threads);
    system_->AddNode(topic_);
  }

  // Makes a request carrying `map_path` the engine's current request, as "execute_robot" does.
  std::shared_ptr<Request> SetCurrentMapPath(const std::string & map_path)
  {
    auto request = std::make_shared<Request>();
    request->command.model_id = 1;
    request->command.cmd = 1;
    request->map_path = map_path;
    engine()->ScheduleRequest(request, std::make_shared<Response>());
    log_->Clear();
    return request;
  }

  // Publishes `pose` while a request carrying `map_path` is the current one; returns that request.
  std::shared_ptr<Request> PublishFor(const std::string & map_path, const InitialPose & pose)
  {
    auto request = SetCurrentMapPath(map_path);
    topic_->PubInitLocation(pose);
    return request;
  }

  // Runs `work` inside a callback of `executor`, where a request's tick runs in the process.
  static void RunInCallback(BackgroundExecutor & executor, const std::function<void()> & work)
  {
    auto runner = std::make_shared<rclcpp::Node>("callback_runner");
    std::promise<void> done;
    std::atomic<bool> started{false};
    auto timer = runner->create_wall_timer(1ms, [&] {
      if (!started.exchange(true)) {
        work();
        done.set_value();
      }
    });
    executor.AddNode(runner);
    done.get_future().wait();
    executor.RemoveNode(runner);
  }

  // Destroyed in reverse: the topic node leaves its executor before the peers stop.
  std::unique_ptr<BackgroundExecutor> peers_;
  std::unique_ptr<LocalizationMapAndPoseRecorder> poses_;
  std::shared_ptr<Ros2Topic> topic_;
  std::unique_ptr<BackgroundExecutor> system_;
};

TEST_F(Ros2TopicTest, PublishesThePoseWithTheRequestsMapOnceTheMapIsLoaded)
{
  SimulatedMapServer map_server(*peers_);
  SpinTopicNode(2);

  const auto first = PublishFor("/maps/a.pbstream", Pose(1.0, 2.0, 0.0));
  // Only the first ".pbstream" becomes ".yaml", and only in the load request.
  const auto second = PublishFor("/x.pbstream/m.pbstream", Pose(-3.5, 4.25, 7.0));
  EXPECT_EQ(map_server.MapUrls(), (std::vector<std::string>{"/maps/a.yaml", "/x.yaml/m.pbstream"}));
  EXPECT_EQ(first->map_path, "/maps/a.pbstream");
  EXPECT_EQ(second->map_path, "/x.pbstream/m.pbstream");

  ASSERT_TRUE(poses_->WaitFor(2, kArrival));
  const auto messages = poses_->Messages();
  // Every field at its default (stamp zero, empty aux texts) but these.
  velmarin_protocol::msg::LocalizationMapAndPose at_origin;
  at_origin.pose.header.frame_id = "map";
  at_origin.pose.pose.pose.position.x = 1.0;
  at_origin.pose.pose.pose.position.y = 2.0;
  at_origin.pose.pose.pose.orientation.w = 1.0;
  at_origin.pose.pose.covariance[0] = 0.25;
  at_origin.pose.pose.covariance[7] = 0.25;
  at_origin.pose.pose.covariance[35] = 0.06853891945200942;
  at_origin.map_path = "/maps/a.pbstream";
  EXPECT_EQ(messages[0], at_origin);

  // 7 rad is wrapped by one turn first, which flips the quaternion's sign.
  const auto & turned = messages[1];
  const double half_yaw = (7.0 - 2.0 * M_PI) / 2.0;
  EXPECT_EQ(turned.pose.pose.pose.position.x, -3.5);
  EXPECT_EQ(turned.pose.pose.pose.position.y, 4.25);
  EXPECT_DOUBLE_EQ(turned.pose.pose.pose.orientation.z, std::sin(half_yaw));
  EXPECT_DOUBLE_EQ(turned.pose.pose.pose.orientation.w, std::cos(half_yaw));
  EXPECT_EQ(turned.map_path, "/x.pbstream/m.pbstream");
}

// Waits out the fixed one-second wait for an absent map server, once.
TEST_F(Ros2TopicTest, RejectedPoseOrMapPublishesNothing)
{
  SpinTopicNode(2);
  const auto unloaded = PublishFor("/maps/a.pbstream", Pose(1.0, 2.0, 0.0));
  EXPECT_EQ(log_->Count("server:/map_server/load_map not exist"), 1u);
  EXPECT_EQ(log_->Count(kLoadMapError), 1u);
  EXPECT_EQ(unloaded->map_path, "/maps/a.pbstream");

  SimulatedMapServer map_server(*peers_);
  for (double angle : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(topic_->PubInitLocation(Pose(1.0, 2.0, angle))) << angle;
  }

  for (const std::string map_path : {"/maps/a.yaml", ""}) {
    const auto request = PublishFor(map_path, Pose(1.0, 2.0, 0.0));
    EXPECT_EQ(log_->Count("Not find key '.pbstream' in " + map_path), 1u);
    EXPECT_EQ(request->map_path, map_path);
  }
  EXPECT_TRUE(map_server.MapUrls().empty());

  map_server.SetResult(LoadMap::Response::RESULT_MAP_DOES_NOT_EXIST);
  const auto refused = PublishFor("/maps/b.pbstream", Pose(1.0, 2.0, 0.0));
  EXPECT_EQ(log_->Count(kLoadMapError), 1u);
  EXPECT_EQ(log_->Count("SyncCallService server:"), 0u);
  EXPECT_EQ(refused->map_path, "/maps/b.pbstream");

  // The one message that goes out comes after every rejected attempt.
  map_server.SetResult(LoadMap::Response::RESULT_SUCCESS);
  PublishFor("/maps/c.pbstream", Pose(5.0, 6.0, 0.0));
  ASSERT_TRUE(poses_->WaitFor(1, kArrival));
  const auto messages = poses_->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].map_path, "/maps/c.pbstream");
}

// Waits out the fixed ten-second wait for the map server's reply, once.
TEST_F(Ros2TopicTest, MapLoadInsideAnExecutorCallbackNeedsASecondThread)
{
  SimulatedMapServer map_server(*peers_);
  SetCurrentMapPath("/maps/a.pbstream");

  SpinTopicNode(2);
  RunInCallback(*system_, [this] { topic_->PubInitLocation(Pose(1.0, 2.0, 0.0)); });
  ASSERT_TRUE(poses_->WaitFor(1, kArrival));
  EXPECT_EQ(log_->Count(kLoadMapError, false), 0u);

  SpinTopicNode(1);
  RunInCallback(*system_, [this] { topic_->PubInitLocation(Pose(3.0, 4.0, 0.0)); });
  EXPECT_EQ(log_->Count("SyncCallService server:/map_server/load_map timeout", false), 1u);
  EXPECT_EQ(log_->Count(kLoadMapError, false), 1u);
  EXPECT_EQ(map_server.MapUrls().size(), 2u);
  EXPECT_EQ(poses_->Messages().size(), 1u);
}

}  // namespace
