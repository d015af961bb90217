// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_SERVICE_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_SERVICE_HPP_

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "execute_engine_test_support/background_executor.hpp"
#include "rclcpp/rclcpp.hpp"

namespace execute_engine_test_support
{

// A scriptable peer serving `service_name` of type S on a node of its own, spun by the given
// executor. It records every request and answers each with the scripted response after the
// scripted delay. The service exists for the lifetime of the object, which is how a test
// makes the peer present or absent. The executor must outlive the object.
template <typename S>
class SimulatedService
{
public:
  using Request = typename S::Request;
  using Response = typename S::Response;

  SimulatedService(
    BackgroundExecutor & executor, const std::string & node_name, const std::string & service_name)
  : executor_(executor), node_(std::make_shared<rclcpp::Node>(node_name))
  {
    service_ = node_->template create_service<S>(
      service_name,
      [this](const std::shared_ptr<Request> request, std::shared_ptr<Response> response) {
        std::unique_lock<std::mutex> lock(mutex_);
        requests_.push_back(*request);
        changed_.notify_all();
        changed_.wait_for(lock, delay_, [this] { return released_; });
        *response = answer_;
      },
      rmw_qos_profile_services_default, nullptr);
    executor_.AddNode(node_);
  }

  // Lets a delayed reply go at once, then leaves the executor, which waits for the reply.
  ~SimulatedService()
  {
    Set(released_, true);
    changed_.notify_all();
    executor_.RemoveNode(node_);
  }

  // Lets `fill` change the response every later request gets (default-initialised until then).
  template <typename Fill>
  void SetAnswer(Fill fill)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fill(answer_);
  }

  // How long each later reply is held back after its request arrived (none until set).
  void SetDelay(std::chrono::milliseconds delay) { Set(delay_, delay); }

  // The requests received so far, in order of arrival.
  std::vector<Request> Requests() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  // Frees the requests received so far, so that a long run does not grow with them.
  void ForgetRequests()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Request>().swap(requests_);
  }

  // True once `count` requests have arrived, false if that takes longer than `timeout`.
  bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
  }

private:
  template <typename T>
  void Set(T & field, const T & value)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    field = value;
  }

  BackgroundExecutor & executor_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Response answer_;
  std::chrono::milliseconds delay_{0};
  bool released_ = false;
  std::vector<Request> requests_;
  rclcpp::Node::SharedPtr node_;
  typename rclcpp::Service<S>::SharedPtr service_;
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_SERVICE_HPP_
