// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

// The engine in one process with the deployment tree as installed and simulated peers (device
// controller, map server, mapping peers, planner and obstacle action servers). Requests go
// through "execute_robot" as a caller sends them; only the tick comparison calls the engine
// directly. The program logger is left unset, so no benchmark pays for log files.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <rcutils/logging.h>
#include <spdlog/spdlog.h>
#include <unistd.h>
#include <ament_index_cpp/get_package_share_directory.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common_util/constants.hpp"
#include "common_util/path_util.hpp"
#include "execute_engine/cmd_manager.hpp"
#include "execute_engine/execute_engine.hpp"
#include "execute_engine/holding_gate.hpp"
#include "execute_engine/init_tree_node.hpp"
#include "execute_engine/navigation_tree_node.hpp"
#include "execute_engine/procter_tree_node.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "execute_engine/security_tree_node.hpp"
#include "execute_engine/slam_tree_node.hpp"
#include "execute_engine/start_up.hpp"
#include "execute_engine_test_support/background_executor.hpp"
#include "execute_engine_test_support/ros_log_capture.hpp"
#include "execute_engine_test_support/simulated_action_server.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "execute_engine_test_support/simulated_map_server.hpp"
#include "execute_engine_test_support/simulated_mapping_peers.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace
{

using namespace std::chrono_literals;
using RobotCommon = velmarin_protocol::srv::RobotCommon;
using Clock = std::chrono::steady_clock;

constexpr int kDeviceModel = 3;
constexpr int kNavigationModel = 2;
constexpr int kDeviceCmd = 201;
constexpr int kLoggedOnlyCmd = 4;  // accepted by the device model, only logged by its node
constexpr int kMoveCmd = 101;
constexpr int kCancelCmd = 4;
constexpr auto kWaitBound = 30s;

// Counts the ROS log line the action node writes once a goal's acceptance has reached it: only
// from then on can a cancel name the goal. Lines below WARN are not printed.
class AcceptanceWatch
{
public:
  static void Install() { rcutils_logging_set_output_handler(&Handle); }

  static size_t Count()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
  }

  static bool WaitFor(size_t count)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kWaitBound, [count] { return accepted_ >= count; });
  }

private:
  static void Handle(
    const rcutils_log_location_t * location, int severity, const char * name,
    rcutils_time_point_value_t timestamp, const char * format, va_list * args)
  {
    if (
      execute_engine_test_support::FormatLogLine(format, args) ==
      "Goal accepted by server, waiting for result") {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++accepted_;
      }
      changed_.notify_all();
    }
    if (severity >= RCUTILS_LOG_SEVERITY_WARN) {
      rcutils_logging_console_output_handler(location, severity, name, timestamp, format, args);
    }
  }

  static inline std::mutex mutex_;
  static inline std::condition_variable changed_;
  static inline size_t accepted_ = 0;
};

// Sends standard output to /dev/null while it lives (the device node prints every setting).
class QuietStdout
{
public:
  QuietStdout()
  {
    Flush();
    saved_ = ::dup(STDOUT_FILENO);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    ::dup2(null_fd, STDOUT_FILENO);
    ::close(null_fd);
  }
  ~QuietStdout()
  {
    Flush();
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
  }
  QuietStdout(const QuietStdout &) = delete;
  QuietStdout & operator=(const QuietStdout &) = delete;

private:
  static void Flush()
  {
    std::cout.flush();
    std::fflush(stdout);
  }
  int saved_;
};

std::shared_ptr<RobotCommon::Request> MakeRequest(int model_id, int cmd)
{
  auto request = std::make_shared<RobotCommon::Request>();
  request->command.model_id = model_id;
  request->command.cmd = cmd;
  return request;
}

std::shared_ptr<RobotCommon::Request> MoveRequest(size_t points, double yaw)
{
  auto request = MakeRequest(kNavigationModel, kMoveCmd);
  request->navigation_points.resize(points);
  for (auto & point : request->navigation_points) {
    point.yaw = yaw;
  }
  return request;
}

double ProcessCpuSeconds()
{
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ResidentMegabytes()
{
  std::ifstream statm("/proc/self/statm");
  double total_pages = 0.0;
  double resident_pages = 0.0;
  statm >> total_pages >> resident_pages;
  return resident_pages * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// The running process: start-up serving "execute_robot", its peers and a caller. Built on the
// first benchmark that needs it, ended by main.
class World
{
public:
  static World & Get()
  {
    if (!instance_) {
      instance_.reset(new World());
    }
    return *instance_;
  }

  static void End() { instance_.reset(); }

  ~World()
  {
    rclcpp::shutdown();
    served_.wait();
    peers_.RemoveNode(caller_);
  }

  World(const World &) = delete;
  World & operator=(const World &) = delete;

  // The response, or null when none came within the bound.
  std::shared_ptr<RobotCommon::Response> Call(const std::shared_ptr<RobotCommon::Request> & request)
  {
    auto future = client_->async_send_request(request);
    if (future.wait_for(kWaitBound) != std::future_status::ready) {
      return nullptr;
    }
    return future.get();
  }

  // Sends `request` (a navigation move) and waits until the planner has the goal and runs it
  // (a server refuses to cancel a goal it has answered but not yet started) and the action node
  // has taken its acceptance. False if any step fails.
  bool StartGoal(const std::shared_ptr<RobotCommon::Request> & request)
  {
    const size_t goals = planner_.Goals().size();
    const size_t accepted = AcceptanceWatch::Count();
    return Call(request) != nullptr && planner_.WaitForAcceptance(goals, kWaitBound) &&
           AcceptanceWatch::WaitFor(accepted + 1);
  }

  // Cancels the followed goal once the planner runs it, and waits until the planner has the
  // cancel and the ticking thread has ended. False if any step fails.
  bool CancelGoal()
  {
    const size_t cancels = planner_.CancelRequests();
    return planner_.WaitForAcceptance(planner_.Goals().size() - 1, kWaitBound) &&
           Call(MakeRequest(kNavigationModel, kCancelCmd)) != nullptr &&
           planner_.WaitForCancelRequests(cancels + 1, kWaitBound) && WaitUntilIdle();
  }

  static bool WaitUntilIdle()
  {
    const auto deadline = Clock::now() + kWaitBound;
    while (g_execute_engine->IsTicking()) {
      if (Clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(100us);
    }
    return true;
  }

  execute_engine_test_support::SimulatedPlannerServer & planner() { return planner_; }
  execute_engine_test_support::SimulatedDeviceController & devices() { return device_controller_; }

private:
  // Runs before the other members: ROS up, and the program logger registered without a sink,
  // so that start-up takes it instead of writing to the robot's log directory.
  struct Ros
  {
    Ros()
    {
      rclcpp::init(0, nullptr);
      AcceptanceWatch::Install();
      spdlog::register_logger(std::make_shared<spdlog::logger>("execute_engine"));
    }
  };

  World()
  : peers_(3),
    device_controller_(peers_),
    map_server_(peers_),
    mapping_peers_(peers_),
    planner_(peers_, "planner"),
    security_(peers_, "security"),
    caller_(std::make_shared<rclcpp::Node>("execute_engine_benchmark_caller")),
    client_(caller_->create_client<RobotCommon>("execute_robot"))
  {
    served_ = std::async(std::launch::async, [] { return execute_engine::ServeExecuteRobot(); });
    peers_.AddNode(caller_);
    if (!client_->wait_for_service(kWaitBound)) {
      throw std::runtime_error("\"execute_robot\" did not come up");
    }
  }

  static inline std::unique_ptr<World> instance_;
  Ros ros_;
  execute_engine_test_support::BackgroundExecutor peers_;
  execute_engine_test_support::SimulatedDeviceController device_controller_;
  execute_engine_test_support::SimulatedMapServer map_server_;
  execute_engine_test_support::SimulatedMappingPeers mapping_peers_;
  execute_engine_test_support::SimulatedPlannerServer planner_;
  execute_engine_test_support::SimulatedSecurityServer security_;
  rclcpp::Node::SharedPtr caller_;
  rclcpp::Client<RobotCommon>::SharedPtr client_;
  std::future<int> served_;
};

// The deployment tree built a second time with the node types the engine registers, to be
// ticked bare, outside the engine. Its nodes read the engine's current request; its action
// clients are made on `node`, which no executor holds.
BT::Tree BuildBareTree(const rclcpp::Node::SharedPtr & node)
{
  using execute_engine::CmdManager;
  BT::BehaviorTreeFactory factory;
  CmdManager * table = CmdManager::GetInstance();
  const std::vector<std::pair<std::string, BT::NodeStatus (CmdManager::*)() const>> sentinels{
    {"SecuritySentinel", &CmdManager::SecuritySentinel},
    {"LocationSentinel", &CmdManager::LocationSentinel},
    {"NavigationSentinel", &CmdManager::NavigationSentinel},
    {"ProcterSentinel", &CmdManager::ProcterSentinel},
    {"SlamSentinel", &CmdManager::SlamSentinel},
    {"SweepSentinel", &CmdManager::SweepSentinel}};
  for (const auto & [id, sentinel] : sentinels) {
    factory.registerSimpleCondition(id, std::bind(sentinel, table), BT::PortsList());
  }
  execute_engine::Ros2Params params;
  params.node = node;
  params.action_timeout = 5000ms;
  execute_engine::RegisterRos2ActionNode<execute_engine::SecurityTreeNode>(
    factory, "SecurityNode", params);
  factory.registerNodeType<execute_engine::InitTreeNode>("InitPos");
  execute_engine::RegisterRos2ActionNode<execute_engine::NavigationTreeNode>(
    factory, "Navigation", params);
  factory.registerNodeType<execute_engine::ProcterTreeNode>("Procter");
  factory.registerNodeType<execute_engine::SlamTreeNode>("Slam");
  factory.registerNodeType<execute_engine::HoldingGate>("HoldingGate");
  return factory.createTreeFromFile(
    ament_index_cpp::get_package_share_directory("velmarin_execute_engine") +
      common_util::kTreeXmlPath,
    BT::Blackboard::create());
}

// A device command through "execute_robot" and back, the device controller answering at once,
// the engine idle.
void BM_DeviceCommandRoundTrip(benchmark::State & state)
{
  World & world = World::Get();
  if (!World::WaitUntilIdle()) {
    state.SkipWithError("the ticking thread does not end");
    return;
  }
  const auto request = MakeRequest(kDeviceModel, kDeviceCmd);
  QuietStdout quiet;
  for (auto _ : state) {
    if (!world.Call(request)) {
      state.SkipWithError("no response");
      break;
    }
  }
}
BENCHMARK(BM_DeviceCommandRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Resident memory of the whole process after 2,000 device commands through "execute_robot" and
// its growth over 20,000 more: a robot sends such commands for months. The device controller
// forgets the requests it records every 1,000, so that only the engine's memory can grow.
void BM_DeviceCommandMemory(benchmark::State & state)
{
  constexpr int kWarmUp = 2000;
  constexpr int kMeasured = 20000;
  constexpr int kForgetEvery = 1000;
  World & world = World::Get();
  const auto request = MakeRequest(kDeviceModel, kDeviceCmd);
  const auto send = [&world, &request](int count) {
    for (int i = 1; i <= count; ++i) {
      if (!world.Call(request)) {
        return false;
      }
      if (i % kForgetEvery == 0) {
        world.devices().ForgetRequests();
      }
    }
    return true;
  };
  QuietStdout quiet;
  for (auto _ : state) {
    if (!World::WaitUntilIdle() || !send(kWarmUp)) {
      state.SkipWithError("no response");
      break;
    }
    const double warm = ResidentMegabytes();
    if (!send(kMeasured)) {
      state.SkipWithError("no response");
      break;
    }
    state.counters["rss_mb"] = warm;
    state.counters["growth_mb"] = ResidentMegabytes() - warm;
  }
}
BENCHMARK(BM_DeviceCommandMemory)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Requests ticked by the engine (dispatch, lock, tick, response) against bare tickRoots of the
// same tree for the same request: a device command that its node only logs, so the whole tree
// is walked and nothing leaves the process. Each iteration times a batch of each; the time is
// the engine's batch, and the counters (per request or tick) come from the fastest batch of
// each, so that other processes on the machine skew the ratio less.
void BM_EngineTickAgainstBareTickRoot(benchmark::State & state)
{
  constexpr int kBatch = 100;
  World::Get();
  BT::Tree bare =
    BuildBareTree(std::make_shared<rclcpp::Node>("execute_engine_benchmark_bare_tree"));
  const auto request = MakeRequest(kDeviceModel, kLoggedOnlyCmd);
  const auto response = std::make_shared<RobotCommon::Response>();
  if (!World::WaitUntilIdle()) {
    state.SkipWithError("the ticking thread does not end");
    return;
  }
  auto fastest_engine = Clock::duration::max();
  auto fastest_bare = Clock::duration::max();
  for (auto _ : state) {
    const auto start = Clock::now();
    for (int i = 0; i < kBatch; ++i) {
      g_execute_engine->ScheduleRequest(request, response);
    }
    const auto engine_done = Clock::now();
    for (int i = 0; i < kBatch; ++i) {
      bare.tickRoot();
    }
    const auto bare_done = Clock::now();
    fastest_engine = std::min(fastest_engine, engine_done - start);
    fastest_bare = std::min(fastest_bare, bare_done - engine_done);
    state.SetIterationTime(Seconds(engine_done - start));
  }
  state.counters["engine_ns"] = Seconds(fastest_engine) * 1e9 / kBatch;
  state.counters["bare_tick_ns"] = Seconds(fastest_bare) * 1e9 / kBatch;
  state.counters["engine_to_bare"] = Seconds(fastest_engine) / Seconds(fastest_bare);
}
BENCHMARK(BM_EngineTickAgainstBareTickRoot)->UseManualTime()->Unit(benchmark::kMicrosecond);

// CPU time of the whole process per second of wall time, as a fraction of one core: with the
// engine idle (0), and while a navigation goal is followed and the planner sends nothing (1).
void BM_ProcessCpu(benchmark::State & state)
{
  World & world = World::Get();
  const bool following = state.range(0) == 1;
  if (!World::WaitUntilIdle() || (following && !world.StartGoal(MoveRequest(1, 0.0)))) {
    state.SkipWithError("the goal did not start");
    return;
  }
  double cpu = 0.0;
  Clock::duration wall{};
  for (auto _ : state) {
    const double cpu_start = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(100ms);
    cpu += ProcessCpuSeconds() - cpu_start;
    wall += Clock::now() - start;
  }
  state.counters["cores"] = cpu / Seconds(wall);
  if (following && !world.CancelGoal()) {
    state.SkipWithError("the goal was not cancelled");
  }
}
BENCHMARK(BM_ProcessCpu)
  ->ArgName("following")
  ->Arg(0)
  ->Arg(1)
  ->Iterations(5)
  ->UseRealTime()
  ->Unit(benchmark::kMillisecond);

// From the answer to a cancel request to the planner receiving the cancel, while a goal is
// followed; 0 when the cancel arrived first. The time is the mean; median and 99th percentile
// are counters.
void BM_CancelReachesPlanner(benchmark::State & state)
{
  World & world = World::Get();
  std::vector<double> latencies;
  for (auto _ : state) {
    const size_t cancels = world.planner().CancelRequests();
    if (!World::WaitUntilIdle() || !world.StartGoal(MoveRequest(1, 0.0))) {
      state.SkipWithError("the goal did not start");
      break;
    }
    if (!world.Call(MakeRequest(kNavigationModel, kCancelCmd))) {
      state.SkipWithError("no response to the cancel");
      break;
    }
    const auto answered = Clock::now();
    if (!world.planner().WaitForCancelRequests(cancels + 1, kWaitBound)) {
      state.SkipWithError("the cancel did not reach the planner");
      break;
    }
    latencies.push_back(std::max(0.0, Seconds(Clock::now() - answered)));
    state.SetIterationTime(latencies.back());
  }
  if (latencies.empty()) {
    return;
  }
  std::sort(latencies.begin(), latencies.end());
  const auto percentile = [&latencies](double fraction) {
    const auto rank = static_cast<size_t>(fraction * static_cast<double>(latencies.size()));
    return latencies[std::min(rank, latencies.size() - 1)];
  };
  state.counters["median_us"] = percentile(0.5) * 1e6;
  state.counters["p99_us"] = percentile(0.99) * 1e6;
  World::WaitUntilIdle();
}
BENCHMARK(BM_CancelReachesPlanner)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A long route with a huge heading on every point: from the move request to the planner
// receiving the goal.
void BM_LongRouteGoal(benchmark::State & state)
{
  World & world = World::Get();
  const auto request = MoveRequest(static_cast<size_t>(state.range(0)), 6.5e6);
  for (auto _ : state) {
    state.PauseTiming();
    const size_t goals = world.planner().Goals().size();
    const size_t accepted = AcceptanceWatch::Count();
    const bool idle = World::WaitUntilIdle();
    state.ResumeTiming();
    if (
      !idle || !world.Call(request) ||
      !world.planner().WaitForGoals(goals + 1, std::chrono::minutes(10))) {
      state.SkipWithError("the goal did not reach the planner");
      break;
    }
    state.PauseTiming();
    const bool cancelled = AcceptanceWatch::WaitFor(accepted + 1) && world.CancelGoal();
    state.ResumeTiming();
    if (!cancelled) {
      state.SkipWithError("the goal was not cancelled");
      break;
    }
  }
}
BENCHMARK(BM_LongRouteGoal)
  ->ArgName("points")
  ->Arg(100000)
  ->Iterations(1)
  ->UseRealTime()
  ->Unit(benchmark::kMillisecond);

// Angles a heading normally holds, and huge finite ones.
constexpr double kAngles[] = {1.0, -7.0, 20.0, 6.5e6, -1e17, std::numeric_limits<double>::max()};

void BM_NormalizeAngle(benchmark::State & state)
{
  double angle = kAngles[state.range(0)];
  char label[32];
  std::snprintf(label, sizeof(label), "%g", angle);
  state.SetLabel(label);
  for (auto _ : state) {
    benchmark::DoNotOptimize(angle);
    benchmark::DoNotOptimize(common_util::NormalizeAngle(angle));
  }
}
BENCHMARK(BM_NormalizeAngle)->DenseRange(0, std::size(kAngles) - 1);

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  World::End();
  return 0;
}
