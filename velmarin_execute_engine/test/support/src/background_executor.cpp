// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/background_executor.hpp"

#include <chrono>
#include <utility>

namespace execute_engine_test_support
{

BackgroundExecutor::BackgroundExecutor(size_t threads)
: executor_(rclcpp::ExecutorOptions(), threads)
{
  StartSpinning();
}

BackgroundExecutor::~BackgroundExecutor() { StopSpinning(); }

void BackgroundExecutor::AddNode(const rclcpp::Node::SharedPtr & node) { executor_.add_node(node); }

void BackgroundExecutor::RemoveNode(const rclcpp::Node::SharedPtr & node)
{
  StopSpinning();
  executor_.remove_node(node, false);
  StartSpinning();
}

void BackgroundExecutor::StartSpinning()
{
  std::promise<void> finished;
  spin_finished_ = finished.get_future();
  spinner_ = std::thread([this, finished = std::move(finished)]() mutable {
    executor_.spin();
    finished.set_value();
  });
}

void BackgroundExecutor::StopSpinning()
{
  // A cancel that comes before spin() has started is lost, so repeat it until spinning ends.
  do {
    executor_.cancel();
  } while (spin_finished_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  spinner_.join();
}

}  // namespace execute_engine_test_support
