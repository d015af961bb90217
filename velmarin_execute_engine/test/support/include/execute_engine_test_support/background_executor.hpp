// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__BACKGROUND_EXECUTOR_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__BACKGROUND_EXECUTOR_HPP_

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "rclcpp/rclcpp.hpp"

namespace execute_engine_test_support
{

// A MultiThreadedExecutor spinning on threads of its own from construction to destruction.
// It serves the simulated peers, and the system's nodes where a test needs them spun as the
// process's executor would. Spinning also ends when ROS is shut down.
class BackgroundExecutor
{
public:
  explicit BackgroundExecutor(size_t threads) : threads_(threads) { Start(); }
  // Stops spinning and waits for its threads; the nodes it held are free again.
  ~BackgroundExecutor() { Stop(); }

  void AddNode(const rclcpp::Node::SharedPtr & node)
  {
    if (executor_) {
      executor_->add_node(node);
    }
    nodes_.push_back(node);
  }

  // Spinning pauses while the node leaves, and the other nodes move to a fresh executor: real
  // Humble's executor keeps the guard condition of every group but the last of a removed node,
  // and fails on it once the node is destroyed. Callbacks in progress are waited for, so none
  // may wait on the calling thread. After a shutdown the executor is dropped instead (real
  // rclcpp keeps the entities it last waited on alive until then) and nothing spins again.
  void RemoveNode(const rclcpp::Node::SharedPtr & node)
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

private:
  // A fresh executor holding every node still alive, spinning.
  void Start()
  {
    executor_ = std::make_unique<rclcpp::executors::MultiThreadedExecutor>(
      rclcpp::ExecutorOptions(), threads_);
    for (const auto & weak : nodes_) {
      if (const auto held = weak.lock()) {
        executor_->add_node(held);
      }
    }
    spinning_ = std::async(std::launch::async, [this] { executor_->spin(); });
  }

  void Stop()
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

  const size_t threads_;
  std::unique_ptr<rclcpp::executors::MultiThreadedExecutor> executor_;
  std::vector<rclcpp::Node::WeakPtr> nodes_;
  std::future<void> spinning_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__BACKGROUND_EXECUTOR_HPP_
