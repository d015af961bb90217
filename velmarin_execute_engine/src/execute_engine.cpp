// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/execute_engine.hpp"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <stdexcept>
#include <string>
#include <utility>

#include "common_util/log_holder.hpp"
#include "execute_engine/cmd_manager.hpp"
#include "execute_engine/holding_gate.hpp"
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
constexpr int kLocationModel = 1;
constexpr int kNavigationModel = 2;
constexpr int kSweepModel = 4;
constexpr int kSlamModel = 5;
constexpr int kSecurityModel = 6;
constexpr int kMoveCmd = 101;
constexpr int kWorkCmd = 102;
constexpr int kProcterCmd = 201;
constexpr int kProcterExtraCmd = 202;
constexpr std::chrono::milliseconds kActionTimeout{5000};
// Longest sleep of the ticking thread: what nothing announces (a change of the node's clock)
// is seen at least this often.
constexpr std::chrono::milliseconds kSleepCap{100};
constexpr char kOneShotTickEntry[] = "one_shot_tick";

bool IsGoalModel(int32_t model_id)
{
  return model_id == kNavigationModel || model_id == kSweepModel;
}

bool StartsGoal(int32_t model_id, int32_t cmd)
{
  return IsGoalModel(model_id) && (cmd == kMoveCmd || cmd == kWorkCmd);
}

// "<prefix><field> (<value>)" for the first of `coordinates` that is NaN or infinite, else empty.
std::string FirstNonFinite(
  const std::string & prefix, std::initializer_list<std::pair<const char *, double>> coordinates)
{
  for (const auto & [field, value] : coordinates) {
    if (!std::isfinite(value)) {
      return prefix + field + " (" + std::to_string(value) + ")";
    }
  }
  return "";
}

// The first NaN or infinite coordinate that `request` carries for its command (a goal's route,
// a location request's pose), as FirstNonFinite names it; empty when there is none.
std::string NonFiniteCoordinate(const ExecuteEngine::Request & request)
{
  if (StartsGoal(request.command.model_id, request.command.cmd)) {
    const auto & points = request.navigation_points;
    for (size_t i = 0; i < points.size(); ++i) {
      const std::string found = FirstNonFinite(
        "navigation_points[" + std::to_string(i) + "].",
        {{"x", points[i].x}, {"y", points[i].y}, {"yaw", points[i].yaw}});
      if (!found.empty()) {
        return found;
      }
    }
  } else if (request.command.model_id == kLocationModel) {
    const auto & pose = request.initial_pose;
    return FirstNonFinite("initial_pose.", {{"x", pose.x}, {"y", pose.y}, {"angle", pose.angle}});
  }
  return "";
}

// Throws when a file exists at `path` but cannot be read; a missing one is left to the tree
// library, which reports it as not found.
void RequireReadable(const std::string & path)
{
  if (!std::filesystem::exists(path)) {
    return;
  }
  // A directory opens; only reading it fails.
  std::ifstream file(path);
  file.peek();
  if (!file) {
    throw std::runtime_error("tree file " + path + " is unreadable");
  }
}
}  // namespace

void ExecuteEngine::TicketLock::lock()
{
  std::unique_lock<std::mutex> guard(mutex_);
  // Before the ticket is taken, so that an interrupt that raises leaves no ticket unserved.
  if (sleeping_on_) {
    sleeping_on_->interruptWait();
    sleep_interrupted_ = true;
  }
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

bool ExecuteEngine::TicketLock::BeginSleep(GoalWaiter * waiter)
{
  std::lock_guard<std::mutex> guard(mutex_);
  if (next_ticket_ - now_serving_ > 1) {
    return false;
  }
  sleeping_on_ = waiter;
  sleep_interrupted_ = false;
  return true;
}

bool ExecuteEngine::TicketLock::EndSleep()
{
  std::lock_guard<std::mutex> guard(mutex_);
  sleeping_on_ = nullptr;
  return sleep_interrupted_;
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
  goal_waiters_.clear();
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
  factory.registerNodeType<HoldingGate>("HoldingGate");

  try {
    blackboard_ = BT::Blackboard::create();
    if (!from_text) {
      RequireReadable(xml_or_path);
    }
    tree_ = from_text ? factory.createTreeFromText(xml_or_path, blackboard_)
                      : factory.createTreeFromFile(xml_or_path, blackboard_);
  } catch (const std::exception & error) {
    // ROS going down meanwhile (an interrupt) is not the tree's fault; start-up tells of it.
    if (rclcpp::ok()) {
      EE_LOG_ERROR("create behavior_tree failed: {}", error.what());
      // Start-up then stops before its service exists; the console tells why.
      std::cout << "create behavior_tree failed: " << error.what() << std::endl;
    }
    return false;
  }
  for (const auto & tree_node : tree_.nodes) {
    if (auto * waiter = dynamic_cast<GoalWaiter *>(tree_node.get())) {
      goal_waiters_.push_back(waiter);
    }
  }
  return true;
}

bool ExecuteEngine::ExecuteBehaviorTree(
  std::shared_ptr<Request> request, std::shared_ptr<Response> response)
{
  const int32_t model_id = request->command.model_id;
  const int32_t cmd = request->command.cmd;
  std::lock_guard<TicketLock> guard(tick_lock_);
  status_ = StatusBlock();
  if (!CmdManager::GetInstance()->Accepts(model_id, cmd)) {
    EE_LOG_ERROR("cmd:{} is not support by model:{}", cmd, model_id);
    ++status_.failure_count;
  } else if (const std::string non_finite = NonFiniteCoordinate(*request); !non_finite.empty()) {
    EE_LOG_ERROR("cmd:{} of model:{} refused: {} is not finite", cmd, model_id, non_finite);
    ++status_.failure_count;
  } else if (StartsGoal(model_id, cmd)) {
    StartGoal(std::move(request));
  } else if (IsGoalModel(model_id) && cmd != kProcterCmd && cmd != kProcterExtraCmd) {
    SteerGoal(std::move(request));
  } else {
    TickOnce(std::move(request));
  }
  // Goals let go of during this request are settled between requests too.
  for (GoalWaiter * waiter : goal_waiters_) {
    if (waiter->watchesLeftGoals()) {
      StartTicking();
      break;
    }
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
    response->result = 1;
    response->message = "Failure";
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

void ExecuteEngine::StartGoal(std::shared_ptr<Request> request)
{
  if (goal_request_) {
    EE_LOG_ERROR(
      "cmd:{} of model:{} refused: a goal runs", request->command.cmd, request->command.model_id);
    ++status_.failure_count;
    return;
  }
  request_ = request;
  goal_start_ = request;
  goal_request_ = std::move(request);
  StartTicking();
}

void ExecuteEngine::StartTicking()
{
  bool idle = false;
  if (!running_.compare_exchange_strong(idle, true)) {
    // A running thread ticks a goal as soon as there is one.
    return;
  }
  // The previous thread cleared the flag under the lock held here and touches nothing after,
  // so waiting for it does not need the lock released.
  if (tick_thread_.joinable()) {
    tick_thread_.join();
  }
  tick_thread_ = std::thread(&ExecuteEngine::TickLoop, this);
}

void ExecuteEngine::SteerGoal(std::shared_ptr<Request> request)
{
  if (!goal_request_ || goal_request_->command.model_id != request->command.model_id) {
    EE_LOG_ERROR(
      "cmd:{} of model:{} refused: no goal of its model runs", request->command.cmd,
      request->command.model_id);
    ++status_.failure_count;
    return;
  }
  request_ = request;
  goal_request_ = std::move(request);
}

void ExecuteEngine::TickOnce(std::shared_ptr<Request> request)
{
  const int32_t model_id = request->command.model_id;
  if (goal_request_) {
    // Re-localising or mapping would pull the map from under the goal.
    if (model_id == kLocationModel || model_id == kSlamModel) {
      EE_LOG_ERROR("cmd:{} of model:{} refused: a goal runs", request->command.cmd, model_id);
      ++status_.failure_count;
      return;
    }
    // An obstacle request takes over motion.
    if (model_id == kSecurityModel) {
      HaltTree();
    }
  }
  static_cast<void>(Tick(std::move(request), true));
  if (!IsGoalModel(model_id)) {
    EE_LOG_DEBUG("behavior_tree action finished");
  }
  if (status_.success_count == 0 && status_.failure_count == 0) {
    ++status_.failure_count;
  }
}

bool ExecuteEngine::Tick(std::shared_ptr<Request> request, bool one_shot)
{
  request_ = std::move(request);
  try {
    blackboard_->set<int>(kOneShotTickEntry, one_shot ? 1 : 0);
    return tree_.tickRoot() == BT::NodeStatus::RUNNING;
  } catch (const std::exception & error) {
    EE_LOG_ERROR("behavior_tree tick failed: {}", error.what());
  }
  ++status_.failure_count;
  HaltTree();
  return false;
}

bool ExecuteEngine::TickGoal()
{
  std::shared_ptr<Request> request = goal_start_ ? std::move(goal_start_) : goal_request_;
  goal_start_.reset();
  if (Tick(std::move(request), false)) {
    return true;
  }
  EndGoal();
  return false;
}

void ExecuteEngine::HaltTree()
{
  try {
    tree_.haltTree();
  } catch (const std::exception & error) {
    EE_LOG_ERROR("behavior_tree halt failed: {}", error.what());
  }
  EndGoal();
}

void ExecuteEngine::EndGoal()
{
  goal_request_.reset();
  goal_start_.reset();
}

void ExecuteEngine::SleepUntilWork()
{
  GoalWaiter * waiter = nullptr;
  for (GoalWaiter * candidate : goal_waiters_) {
    if (candidate->followsRunningGoal()) {
      if (waiter) {
        // Sleeping on one would hold back the other's work.
        return;
      }
      waiter = candidate;
    }
  }
  if (!waiter || !tick_lock_.BeginSleep(waiter)) {
    return;
  }
  try {
    const bool early = waiter->waitForWork(kSleepCap);
    if (tick_lock_.EndSleep() && early) {
      ++request_wake_ups_;
    }
  } catch (const std::exception & error) {
    tick_lock_.EndSleep();
    EE_LOG_ERROR("behavior_tree wait failed: {}", error.what());
    HaltTree();
  }
}

bool ExecuteEngine::WatchLeftGoals()
{
  bool watching = false;
  for (GoalWaiter * waiter : goal_waiters_) {
    if (!waiter->watchesLeftGoals()) {
      continue;
    }
    watching = true;
    if (!tick_lock_.BeginSleep(waiter)) {
      // A request waits: it goes first.
      return true;
    }
    try {
      waiter->waitForWork(kSleepCap);
    } catch (const std::exception & error) {
      EE_LOG_ERROR("behavior_tree wait failed: {}", error.what());
    }
    tick_lock_.EndSleep();
  }
  return watching;
}

bool ExecuteEngine::TickOrWatch()
{
  if (stop_requested_ || !rclcpp::ok()) {
    if (goal_request_) {
      HaltTree();
    }
    return false;
  }
  if (goal_request_ && TickGoal()) {
    SleepUntilWork();
    return true;
  }
  return WatchLeftGoals();
}

void ExecuteEngine::TickLoop()
{
  bool keep_running = true;
  while (keep_running) {
    std::lock_guard<TicketLock> guard(tick_lock_);
    keep_running = TickOrWatch();
    if (!keep_running) {
      // Cleared before the lock passes on: a move or work request queued behind this last
      // round then starts a thread of its own instead of counting on this one, which ticks no
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

uint64_t ExecuteEngine::RequestWakeUps() const { return request_wake_ups_; }

void ExecuteEngine::Release()
{
  StopTicking();
  std::lock_guard<TicketLock> guard(tick_lock_);
  HaltTree();
  // The waiters are nodes of the tree going away.
  goal_waiters_.clear();
  tree_ = BT::Tree();
  node_.reset();
}

}  // namespace execute_engine
