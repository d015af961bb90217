// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__TOPIC_RECORDER_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__TOPIC_RECORDER_HPP_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/msg/localization_map_and_pose.hpp"
#include "velmarin_protocol/msg/reach_destination_pose.hpp"

namespace execute_engine_test_support
{

// Records every message of type M published on `topic` from its construction on, through a
// node of its own spun by the given executor, which must outlive it.
template <typename M>
class TopicRecorder
{
public:
  TopicRecorder(
    BackgroundExecutor & executor, const std::string & node_name, const std::string & topic)
  : executor_(executor),
    state_(std::make_shared<State>()),
    node_(std::make_shared<rclcpp::Node>(node_name))
  {
    subscription_ = node_->template create_subscription<M>(
      topic, rclcpp::QoS(10), [state = state_](const M & message) {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->messages.push_back(message);
        state->arrived.notify_all();
      });
    executor_.AddNode(node_);
  }

  ~TopicRecorder() { executor_.RemoveNode(node_); }

  TopicRecorder(const TopicRecorder &) = delete;
  TopicRecorder & operator=(const TopicRecorder &) = delete;

  // True once `count` messages have arrived, false if that takes longer than `timeout`.
  bool WaitFor(size_t count, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->arrived.wait_for(
      lock, timeout, [this, count] { return state_->messages.size() >= count; });
  }

  // The messages received so far, in order of arrival.
  std::vector<M> Messages() const
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->messages;
  }

private:
  struct State
  {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<M> messages;
  };

  BackgroundExecutor & executor_;
  std::shared_ptr<State> state_;
  rclcpp::Node::SharedPtr node_;
  typename rclcpp::Subscription<M>::SharedPtr subscription_;
};

// Listens to "localization_map_and_pose", where the initial pose goes out with its map.
class LocalizationMapAndPoseRecorder
: public TopicRecorder<velmarin_protocol::msg::LocalizationMapAndPose>
{
public:
  explicit LocalizationMapAndPoseRecorder(BackgroundExecutor & executor)
  : TopicRecorder(executor, "localization_map_and_pose_recorder", "localization_map_and_pose")
  {
  }
};

// Listens to "reachdestpose", where the outcome of each navigation goal goes out.
class ReachDestPoseRecorder : public TopicRecorder<velmarin_protocol::msg::ReachDestinationPose>
{
public:
  explicit ReachDestPoseRecorder(BackgroundExecutor & executor)
  : TopicRecorder(executor, "reachdestpose_recorder", "reachdestpose")
  {
  }
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__TOPIC_RECORDER_HPP_
