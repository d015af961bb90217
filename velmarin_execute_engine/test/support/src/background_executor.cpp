// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/background_executor.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

namespace execute_engine_test_support
{

BackgroundExecutor::BackgroundExecutor(size_t threads)
: threads_(threads),
  executor_(
    std::make_unique<rclcpp::executors::MultiThreadedExecutor>(rclcpp::ExecutorOptions(), threads))
{
  StartSpinning();
}

BackgroundExecutor::~BackgroundExecutor() { StopSpinning(); }

void BackgroundExecutor::AddNode(const rclcpp::Node::SharedPtr & node)
{
  if (executor_) {
    executor_->add_node(node);
  }
  nodes_.push_back(node);
}

void BackgroundExecutor::RemoveNode(const rclcpp::Node::SharedPtr & node)
{
  StopSpinning();
  nodes_.erase(
    std::remove_if(
      nodes_.begin(), nodes_.end(),
      [&node](const rclcpp::Node::WeakPtr & weak) { return weak.lock() == node; }),
    nodes_.end());
  executor_.reset();
  if (!rclcpp::ok()) {
    // No executor can be made any more and nothing spins again: every node is let go, so that
    // no entity of theirs (a goal handle ending, say) acts on ROS after the shutdown.
    return;
  }
  executor_ =
    std::make_unique<rclcpp::executors::MultiThreadedExecutor>(rclcpp::ExecutorOptions(), threads_);
  for (const auto & weak : nodes_) {
    if (const auto held = weak.lock()) {
      executor_->add_node(held);
    }
  }
  StartSpinning();
}

void BackgroundExecutor::StartSpinning()
{
  std::promise<void> finished;
  spin_finished_ = finished.get_future();
  spinner_ = std::thread([this, finished = std::move(finished)]() mutable {
    executor_->spin();
    finished.set_value();
  });
}

void BackgroundExecutor::StopSpinning()
{
  if (!spinner_.joinable()) {
    return;
  }
  // A cancel that comes before spin() has started is lost, so repeat it until spinning ends.
  do {
    executor_->cancel();
  } while (spin_finished_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinner_.join();
}

}  // namespace execute_engine_test_support
