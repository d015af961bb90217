// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__TOPIC_RECORDER_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__TOPIC_RECORDER_HPP_

#include <chrono>
#include <condition_variable>
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
// node of its own (`topic` followed by "_recorder") spun by the given executor, which must
// outlive it.
template <typename M, const char * topic>
class TopicRecorder
{
public:
  explicit TopicRecorder(BackgroundExecutor & executor)
  : executor_(executor), node_(std::make_shared<rclcpp::Node>(std::string(topic) + "_recorder"))
  {
    subscription_ =
      node_->template create_subscription<M>(topic, rclcpp::QoS(10), [this](const M & message) {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(message);
        arrived_.notify_all();
      });
    executor_.AddNode(node_);
  }

  // Leaving the executor waits for a message being recorded.
  ~TopicRecorder() { executor_.RemoveNode(node_); }

  // True once `count` messages have arrived, false if that takes longer than `timeout`.
  bool WaitFor(size_t count, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return messages_.size() >= count; });
  }

  // The messages received so far, in order of arrival.
  std::vector<M> Messages() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

private:
  BackgroundExecutor & executor_;
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<M> messages_;
  rclcpp::Node::SharedPtr node_;
  typename rclcpp::Subscription<M>::SharedPtr subscription_;
};

// Where the initial pose goes out with its map.
inline constexpr char kLocalizationMapAndPose[] = "localization_map_and_pose";
using LocalizationMapAndPoseRecorder =
  TopicRecorder<velmarin_protocol::msg::LocalizationMapAndPose, kLocalizationMapAndPose>;
// Where the outcome of each navigation goal goes out.
inline constexpr char kReachDestPose[] = "reachdestpose";
using ReachDestPoseRecorder =
  TopicRecorder<velmarin_protocol::msg::ReachDestinationPose, kReachDestPose>;

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__TOPIC_RECORDER_HPP_
