// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/start_up.hpp"

#include <ament_index_cpp/get_package_share_directory.hpp>

#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "common_util/constants.hpp"
#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine/execute_handler.hpp"
#include "execute_engine/ros2_topic.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

namespace
{

constexpr char kLogDirectory[] = "/opt/velmarin/logs/";
constexpr char kLogFileBase[] = "execute_engine/execute_engine_log_file";
constexpr char kLoggerName[] = "execute_engine";
constexpr int kLogLevelDebug = 1;
constexpr char kPackageName[] = "velmarin_execute_engine";
constexpr char kMainNodeName[] = "execute_engine_main_node";
constexpr char kServiceName[] = "execute_robot";
// Longer than the action nodes' cancel timeout, so a silent server does not cut the cancel
// short; shorter than a blocking service call in progress, which the shutdown then interrupts.
constexpr std::chrono::seconds kReleaseBeforeShutdown{6};

// Ends a start-up that does not reach serving. ROS down meanwhile means an interrupt signal
// came, which is no failure.
int EndStartUp(const std::string & reason)
{
  g_execute_engine->Release();
  if (!rclcpp::ok()) {
    std::cout << "start-up interrupted" << std::endl;
    return 0;
  }
  if (!reason.empty()) {
    std::cout << reason << std::endl;
  }
  std::cout << "execute engine init failed" << std::endl;
  rclcpp::shutdown();
  return -1;
}

// True when a server of "execute_robot" shows on the graph within `discovery_moment`. A client
// is ready only for a server, so other clients of the name do not count.
bool AnotherEngineServes(
  const std::shared_ptr<rclcpp::Node> & node, std::chrono::milliseconds discovery_moment)
{
  const auto probe = node->create_client<velmarin_protocol::srv::RobotCommon>(
    kServiceName, rmw_qos_profile_services_default, nullptr);
  return probe->wait_for_service(discovery_moment);
}

// Releases the engine when ROS shuts down, whoever shuts it down (a signal, or a call of
// rclcpp::shutdown), before the context goes down, so that a running goal is still cancelled
// at its server; and at the latest when this object goes, so that nothing of the engine
// outlives start-up.
class EngineReleaseOnShutdown
{
public:
  EngineReleaseOnShutdown()
  : context_(rclcpp::contexts::get_global_default_context()),
    handle_(context_->add_pre_shutdown_callback([this] { ReleaseBeforeShutdown(); }))
  {
  }

  ~EngineReleaseOnShutdown()
  {
    context_->remove_pre_shutdown_callback(handle_);
    if (releasing_.joinable()) {
      releasing_.join();
    }
    g_execute_engine->Release();
  }

  EngineReleaseOnShutdown(const EngineReleaseOnShutdown &) = delete;
  EngineReleaseOnShutdown & operator=(const EngineReleaseOnShutdown &) = delete;

private:
  // Runs inside the shutdown. The release waits for a tick in progress, which a blocking
  // service call may hold for minutes: past the bound the shutdown goes on and interrupts that
  // call, and the release ends afterwards.
  void ReleaseBeforeShutdown()
  {
    std::promise<void> released;
    std::future<void> done = released.get_future();
    releasing_ = std::thread([released = std::move(released)]() mutable {
      g_execute_engine->Release();
      released.set_value();
    });
    done.wait_for(kReleaseBeforeShutdown);
  }

  rclcpp::Context::SharedPtr context_;
  rclcpp::PreShutdownCallbackHandle handle_;
  std::thread releasing_;
};

}  // namespace

int ServeExecuteRobot(std::chrono::milliseconds discovery_moment)
{
  common_util::LogInstance()->InitLog(
    std::string(kLogDirectory) + kLogFileBase, kLogLevelDebug, kLoggerName);

  std::string tree_path;
  try {
    tree_path =
      ament_index_cpp::get_package_share_directory(kPackageName) + common_util::kTreeXmlPath;
  } catch (const std::exception & error) {
    return EndStartUp(error.what());
  }
  std::cout << "tree_path = " << tree_path << std::endl;

  // Locals are released in reverse order: service, main node, executor, topic node.
  std::shared_ptr<Ros2Topic> topic_node;
  std::shared_ptr<rclcpp::executors::MultiThreadedExecutor> executor;
  try {
    topic_node = std::make_shared<Ros2Topic>();
    executor = std::make_shared<rclcpp::executors::MultiThreadedExecutor>(
      rclcpp::ExecutorOptions(), std::thread::hardware_concurrency(), true);
  } catch (const std::exception & error) {
    return EndStartUp(error.what());
  }

  // The tree is built before any node joins the executor: the action nodes hand their
  // callback groups on the topic node to their own private executors first.
  if (!g_execute_engine->Init(topic_node, tree_path, false) || !rclcpp::ok()) {
    return EndStartUp("");
  }
  std::cout << "after global engine init" << std::endl;

  ExecuteHandler handler;
  std::shared_ptr<rclcpp::Node> main_node;
  rclcpp::Service<velmarin_protocol::srv::RobotCommon>::SharedPtr service;
  try {
    // Checked last before serving, so that two engines started close together are caught
    // unless they check within the same moment.
    if (AnotherEngineServes(topic_node, discovery_moment)) {
      const std::string refusal =
        std::string("\"") + kServiceName + "\" is already served by another engine";
      EE_LOG_ERROR("{}", refusal);
      return EndStartUp(refusal);
    }
    if (!rclcpp::ok()) {
      return EndStartUp("");
    }
    main_node = std::make_shared<rclcpp::Node>(kMainNodeName);
    service = main_node->create_service<velmarin_protocol::srv::RobotCommon>(
      kServiceName,
      std::bind(
        &ExecuteHandler::HandleRobotCommon, &handler, std::placeholders::_1, std::placeholders::_2),
      rmw_qos_profile_services_default);
  } catch (const std::exception & error) {
    return EndStartUp(error.what());
  }
  std::cout << "after advertiseService" << std::endl;

  {
    EngineReleaseOnShutdown release_on_shutdown;
    executor->add_node(main_node);
    executor->add_node(topic_node);
    executor->spin();
  }
  rclcpp::shutdown();
  return 0;
}

}  // namespace execute_engine
