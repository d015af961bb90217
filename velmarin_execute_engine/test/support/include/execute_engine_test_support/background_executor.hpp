// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__BACKGROUND_EXECUTOR_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__BACKGROUND_EXECUTOR_HPP_

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
  explicit BackgroundExecutor(size_t threads);
  // Stops spinning and waits for its threads; the nodes it held are free again.
  ~BackgroundExecutor();

  void AddNode(const rclcpp::Node::SharedPtr & node);
  // Spinning pauses while the node leaves, and the other nodes move to a fresh executor: real
  // Humble's executor keeps the guard condition of every group but the last of a removed node,
  // and fails on it once the node is destroyed. Callbacks in progress are waited for, so none
  // may wait on the calling thread. After a shutdown the executor is dropped instead (real
  // rclcpp keeps the entities it last waited on alive until then) and nothing spins again.
  void RemoveNode(const rclcpp::Node::SharedPtr & node);

private:
  // A fresh executor holding every node still alive, spinning.
  void Start();
  void Stop();

  const size_t threads_;
  std::unique_ptr<rclcpp::executors::MultiThreadedExecutor> executor_;
  std::vector<rclcpp::Node::WeakPtr> nodes_;
  std::future<void> spinning_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__BACKGROUND_EXECUTOR_HPP_
