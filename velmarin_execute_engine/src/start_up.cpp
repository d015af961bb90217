// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/start_up.hpp"

#include <ament_index_cpp/get_package_share_directory.hpp>

#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

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

int FailStartUp(const std::string & reason)
{
  if (!reason.empty()) {
    std::cout << reason << std::endl;
  }
  std::cout << "execute engine init failed" << std::endl;
  rclcpp::shutdown();
  return -1;
}

}  // namespace

int ServeExecuteRobot()
{
  common_util::LogInstance()->InitLog(
    std::string(kLogDirectory) + kLogFileBase, kLogLevelDebug, kLoggerName);

  std::string tree_path;
  try {
    tree_path =
      ament_index_cpp::get_package_share_directory(kPackageName) + common_util::kTreeXmlPath;
  } catch (const std::exception & error) {
    return FailStartUp(error.what());
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
    return FailStartUp(error.what());
  }

  // The tree is built before any node joins the executor: the action nodes hand their
  // callback groups on the topic node to their own private executors first.
  if (!g_execute_engine->Init(topic_node, tree_path, false)) {
    return FailStartUp("");
  }
  std::cout << "after global engine init" << std::endl;

  ExecuteHandler handler;
  std::shared_ptr<rclcpp::Node> main_node;
  rclcpp::Service<velmarin_protocol::srv::RobotCommon>::SharedPtr service;
  try {
    main_node = std::make_shared<rclcpp::Node>(kMainNodeName);
    service = main_node->create_service<velmarin_protocol::srv::RobotCommon>(
      kServiceName,
      std::bind(
        &ExecuteHandler::HandleRobotCommon, &handler, std::placeholders::_1, std::placeholders::_2),
      rmw_qos_profile_services_default);
  } catch (const std::exception & error) {
    return FailStartUp(error.what());
  }
  std::cout << "after advertiseService" << std::endl;

  executor->add_node(main_node);
  executor->add_node(topic_node);
  executor->spin();
  rclcpp::shutdown();
  return 0;
}

}  // namespace execute_engine
