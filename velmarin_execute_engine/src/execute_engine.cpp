// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/execute_engine.hpp"

#include <chrono>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <utility>

#include "common_util/log_holder.hpp"
#include "execute_engine/cmd_manager.hpp"
#include "execute_engine/init_tree_node.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/procter_tree_node.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "execute_engine/security_tree_node.hpp"
#include "execute_engine/slam_tree_node.hpp"

execute_engine::ExecuteEngine * g_execute_engine = execute_engine::ExecuteEngine::GetInstance();

namespace execute_engine
{

namespace
{
constexpr int kNavigationModel = 2;
constexpr int kSweepModel = 4;
constexpr int kMoveCmd = 101;
constexpr int kWorkCmd = 102;
constexpr int kProcterCmd = 201;
constexpr std::chrono::milliseconds kActionTimeout{5000};
}  // namespace

void ExecuteEngine::TicketLock::lock()
{
  std::unique_lock<std::mutex> guard(mutex_);
  const uint64_t ticket = next_ticket_++;
  turn_changed_.wait(guard, [this, ticket] { return now_serving_ == ticket; });
}

void ExecuteEngine::TicketLock::unlock()
{
  {
    std::lock_guard<std::mutex> guard(mutex_);
    ++now_serving_;
  }
  turn_changed_.notify_all();
}

ExecuteEngine::ExecuteEngine()
: handlers_{
    {2,
     std::bind(&ExecuteEngine::ExecuteModel2, this, std::placeholders::_1, std::placeholders::_2)},
    {5,
     std::bind(&ExecuteEngine::ExecuteModel5, this, std::placeholders::_1, std::placeholders::_2)},
    {4,
     std::bind(&ExecuteEngine::ExecuteModel4, this, std::placeholders::_1, std::placeholders::_2)},
    {1,
     std::bind(&ExecuteEngine::ExecuteModel1, this, std::placeholders::_1, std::placeholders::_2)},
    {3,
     std::bind(&ExecuteEngine::ExecuteModel3, this, std::placeholders::_1, std::placeholders::_2)},
    {6,
     std::bind(&ExecuteEngine::ExecuteModel6, this, std::placeholders::_1, std::placeholders::_2)},
  }
{
}

ExecuteEngine::~ExecuteEngine() { StopTicking(); }

ExecuteEngine * ExecuteEngine::GetInstance()
{
  static ExecuteEngine engine;
  return &engine;
}

bool ExecuteEngine::Init(
  std::shared_ptr<rclcpp::Node> node, const std::string & xml_or_path, bool from_text)
{
  if (!node) {
    return false;
  }
  static CmdManager * const cmd_manager = CmdManager::GetInstance();
  static const bool stop_at_exit_registered = std::atexit(&ExecuteEngine::StopTickingAtExit) == 0;
  static_cast<void>(stop_at_exit_registered);

  StopTicking();
  std::lock_guard<TicketLock> guard(tick_lock_);
  node_ = std::move(node);
  tree_ = BT::Tree();

  BT::BehaviorTreeFactory factory;
  factory.registerSimpleCondition(
    "SecuritySentinel", std::bind(&CmdManager::SecuritySentinel, cmd_manager), BT::PortsList());
  factory.registerSimpleCondition(
    "LocationSentinel", std::bind(&CmdManager::LocationSentinel, cmd_manager), BT::PortsList());
  factory.registerSimpleCondition(
    "NavigationSentinel", std::bind(&CmdManager::NavigationSentinel, cmd_manager), BT::PortsList());
  factory.registerSimpleCondition(
    "ProcterSentinel", std::bind(&CmdManager::ProcterSentinel, cmd_manager), BT::PortsList());
  factory.registerSimpleCondition(
    "SlamSentinel", std::bind(&CmdManager::SlamSentinel, cmd_manager), BT::PortsList());
  factory.registerSimpleCondition(
    "SweepSentinel", std::bind(&CmdManager::SweepSentinel, cmd_manager), BT::PortsList());
  // The factory's builders refer to these until the tree is built.
  Ros2Params security_params;
  security_params.node = node_;
  security_params.action_timeout = kActionTimeout;
  RegisterRos2ActionNode<SecurityTreeNode>(factory, "SecurityNode", security_params);
  factory.registerNodeType<InitTreeNode>("InitPos");
  Ros2Params navigation_params;
  navigation_params.node = node_;
  navigation_params.action_timeout = kActionTimeout;
  RegisterRos2ActionNode<NavigationTreeNode>(factory, "Navigation", navigation_params);
  factory.registerNodeType<ProcterTreeNode>("Procter");
  factory.registerNodeType<SlamTreeNode>("Slam");

  try {
    auto blackboard = BT::Blackboard::create();
    tree_ = from_text ? factory.createTreeFromText(xml_or_path, blackboard)
                      : factory.createTreeFromFile(xml_or_path, blackboard);
  } catch (const std::exception & error) {
    EE_LOG_ERROR("create behavior_tree failed: {}", error.what());
    // Start-up then stops before its service exists; the console tells why.
    std::cout << "create behavior_tree failed: " << error.what() << std::endl;
    return false;
  }
  return true;
}

bool ExecuteEngine::ExecuteBehaviorTree(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  std::lock_guard<TicketLock> guard(tick_lock_);
  request_ = std::move(request);
  status_ = StatusBlock();
  const int32_t model_id = request_->command.model_id;
  const int32_t cmd = request_->command.cmd;

  if (model_id == kNavigationModel || model_id == kSweepModel) {
    if (cmd == kMoveCmd || cmd == kWorkCmd) {
      StartTicking();
    } else if (cmd == kProcterCmd) {
      TickForRequest();
    }
  } else {
    TickForRequest();
    EE_LOG_DEBUG("behavior_tree action finished");
  }

  const bool failed = status_.failure_count != 0;
  response->result = failed ? 1 : 0;
  response->message = failed ? "Failure" : "Success";
  response->error_code = status_.error_code;
  status_ = StatusBlock();
  return true;
}

bool ExecuteEngine::ScheduleRequest(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  const auto handler = handlers_.find(request->command.model_id);
  if (handler == handlers_.end()) {
    EE_LOG_ERROR("ScheduleRequest don't find func match model ID {}", request->command.model_id);
    return false;
  }
  return handler->second(request, response);
}

bool ExecuteEngine::ExecuteModel1(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  return ExecuteBehaviorTree(request, response);
}

bool ExecuteEngine::ExecuteModel2(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  return ExecuteBehaviorTree(request, response);
}

bool ExecuteEngine::ExecuteModel3(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  return ExecuteBehaviorTree(request, response);
}

bool ExecuteEngine::ExecuteModel4(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  return ExecuteBehaviorTree(request, response);
}

bool ExecuteEngine::ExecuteModel5(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  return ExecuteBehaviorTree(request, response);
}

bool ExecuteEngine::ExecuteModel6(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  return ExecuteBehaviorTree(request, response);
}

void ExecuteEngine::TickForRequest()
{
  try {
    tree_.tickRoot();
  } catch (const std::exception & error) {
    EE_LOG_ERROR("behavior_tree tick failed: {}", error.what());
    HaltTree();
    ++status_.failure_count;
  }
}

void ExecuteEngine::StartTicking()
{
  bool idle = false;
  if (!running_.compare_exchange_strong(idle, true)) {
    return;
  }
  // The previous thread cleared the flag in its last tick, so it is ending or gone, and
  // waiting for it does not need the lock held here.
  if (tick_thread_.joinable()) {
    tick_thread_.join();
  }
  tick_thread_ = std::thread(&ExecuteEngine::TickLoop, this);
}

bool ExecuteEngine::TickForThread()
{
  if (stop_requested_ || !rclcpp::ok()) {
    HaltTree();
    return false;
  }
  try {
    return tree_.tickRoot() == BT::NodeStatus::RUNNING;
  } catch (const std::exception & error) {
    EE_LOG_ERROR("behavior_tree tick failed: {}", error.what());
    HaltTree();
    return false;
  }
}

void ExecuteEngine::HaltTree()
{
  try {
    tree_.haltTree();
  } catch (const std::exception & error) {
    EE_LOG_ERROR("behavior_tree halt failed: {}", error.what());
  }
}

void ExecuteEngine::TickLoop()
{
  bool keep_ticking = true;
  while (keep_ticking) {
    std::lock_guard<TicketLock> guard(tick_lock_);
    keep_ticking = TickForThread();
    if (!keep_ticking) {
      // Cleared before the lock passes on: a move or work request queued behind this last
      // tick then starts a thread of its own instead of counting on this one, which ticks no
      // more. Nothing after this touches the engine.
      running_ = false;
    }
  }
}

void ExecuteEngine::StopTicking()
{
  stop_requested_ = true;
  std::thread ticking;
  {
    std::lock_guard<TicketLock> guard(tick_lock_);
    ticking = std::move(tick_thread_);
  }
  if (ticking.joinable()) {
    ticking.join();
  }
  stop_requested_ = false;
}

void ExecuteEngine::StopTickingAtExit() { GetInstance()->StopTicking(); }

velmarin_protocol::msg::InitialPose * ExecuteEngine::GetRequestData()
{
  return request_ ? &request_->initial_pose : nullptr;
}

ExecuteEngine::Request * ExecuteEngine::GetRequestPtr() { return request_.get(); }

std::shared_ptr<ExecuteEngine::Request> ExecuteEngine::GetRequest() { return request_; }

StatusBlock * ExecuteEngine::GetStatus() { return &status_; }

std::shared_ptr<rclcpp::Node> ExecuteEngine::GetNode() { return node_; }

void ExecuteEngine::SetErrorCode(int32_t code)
{
  if (status_.error_code == 0) {
    status_.error_code = code;
  }
}

bool ExecuteEngine::IsTicking() const { return running_; }

void ExecuteEngine::Release()
{
  StopTicking();
  std::lock_guard<TicketLock> guard(tick_lock_);
  HaltTree();
  tree_ = BT::Tree();
  node_.reset();
}

}  // namespace execute_engine
