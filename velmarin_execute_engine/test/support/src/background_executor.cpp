// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/background_executor.hpp"

#include <algorithm>
#include <chrono>

namespace execute_engine_test_support
{

BackgroundExecutor::BackgroundExecutor(size_t threads) : threads_(threads) { Start(); }

BackgroundExecutor::~BackgroundExecutor() { Stop(); }

void BackgroundExecutor::AddNode(const rclcpp::Node::SharedPtr & node)
{
  if (executor_) {
    executor_->add_node(node);
  }
  nodes_.push_back(node);
}

void BackgroundExecutor::RemoveNode(const rclcpp::Node::SharedPtr & node)
{
  Stop();
  nodes_.erase(
    std::remove_if(
      nodes_.begin(), nodes_.end(), [&node](const auto & weak) { return weak.lock() == node; }),
    nodes_.end());
  executor_.reset();
  // After a shutdown no executor can be made and every node is let go, so that no entity of
  // theirs (a goal handle ending, say) acts on ROS any more.
  if (rclcpp::ok()) {
    Start();
  }
}

void BackgroundExecutor::Start()
{
  executor_ =
    std::make_unique<rclcpp::executors::MultiThreadedExecutor>(rclcpp::ExecutorOptions(), threads_);
  for (const auto & weak : nodes_) {
    if (const auto held = weak.lock()) {
      executor_->add_node(held);
    }
  }
  spinning_ = std::async(std::launch::async, [this] { executor_->spin(); });
}

void BackgroundExecutor::Stop()
{
  if (!spinning_.valid()) {
    return;
  }
  // A cancel that comes before spin() has started is lost, so repeat it until spinning ends.
  do {
    executor_->cancel();
  } while (spinning_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinning_.get();
}

}  // namespace execute_engine_test_support
