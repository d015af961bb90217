// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__EXECUTE_ENGINE_HPP_
#define EXECUTE_ENGINE__EXECUTE_ENGINE_HPP_

#include <behaviortree_cpp_v3/bt_factory.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/msg/initial_pose.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

// Outcome of the request being executed: the tree's nodes count in it, the response is built
// from it. Cleared before and after every request.
struct StatusBlock
{
  uint32_t success_count = 0;
  uint32_t failure_count = 0;  // non-zero answers the request with "Failure"
  int32_t error_code = 0;      // first non-zero code reported (SetErrorCode)
};

// Turns "execute_robot" requests into behaviour-tree execution. One instance per process
// (GetInstance, also reachable as g_execute_engine).
//
// Threads: the service callback calls ScheduleRequest; long work (models 2 and 4, commands 101
// and 102) runs on a ticking thread of the engine that ticks the tree until it stops returning
// RUNNING. One fair lock serialises every tick and every change of the current request and the
// status block: a request holds it from storing itself to the filling of its response (with
// its own tick, if any, inside), the ticking thread holds it for one tick at a time. A request
// therefore waits at most for the tick in progress, never for a run of ticks, and a tick never
// sees its request replaced.
//
// The accessors GetRequestData, GetRequestPtr, GetRequest, GetStatus, GetNode and SetErrorCode
// take no lock: they are for the tree's nodes, which call them inside a tick, where the lock is
// already held. Anyone else may call them only while no tick can run.
class ExecuteEngine
{
public:
  using Request = velmarin_protocol::srv::RobotCommon::Request;
  using Response = velmarin_protocol::srv::RobotCommon::Response;

  // The process-wide engine, built on the first call.
  static ExecuteEngine * GetInstance();

  // Stops a ticking thread that still runs (tree halted) and waits for it.
  ~ExecuteEngine();

  ExecuteEngine(const ExecuteEngine &) = delete;
  ExecuteEngine & operator=(const ExecuteEngine &) = delete;

  // Keeps `node`, registers the tree's condition and node types and builds the tree from the
  // XML text (`from_text`) or the XML file at `xml_or_path`. False, with nothing done, when
  // `node` is null; false, after logging the reason and writing it to standard output, when
  // the tree cannot be built (the engine then holds no tree). Stops a running ticking thread
  // before the tree is replaced. Call it before requests arrive, never at the same time as
  // ScheduleRequest.
  bool Init(std::shared_ptr<rclcpp::Node> node, const std::string & xml_or_path, bool from_text);

  // Runs the handler of the request's model id. False, with nothing else done (the response
  // stays as constructed), for a model id without a handler.
  bool ScheduleRequest(std::shared_ptr<Request> request, std::shared_ptr<Response> response);

  // Makes `request` the current request and acts on it: models 2 and 4 start the ticking
  // thread for commands 101 and 102 (unless it runs), tick once for command 201 and only
  // replace the request otherwise; the other models tick once. Then answers with "Failure"
  // (result 1) when a failure was counted, else "Success" (result 0), and the error code.
  // A tick that raises is logged, counted as a failure and leaves the tree halted. Always true.
  bool ExecuteBehaviorTree(std::shared_ptr<Request> request, std::shared_ptr<Response> response);

  // Accessors for the tree's nodes, inside a tick (no lock; see above).
  // Address of the current request's initial pose (null before the first request).
  velmarin_protocol::msg::InitialPose * GetRequestData();
  // The current request, not owned by the caller (null before the first request).
  Request * GetRequestPtr();
  std::shared_ptr<Request> GetRequest();
  StatusBlock * GetStatus();
  std::shared_ptr<rclcpp::Node> GetNode();
  // Stores `code` unless an error code is already set.
  void SetErrorCode(int32_t code);

  // True while the ticking thread runs. Safe from any thread.
  bool IsTicking() const;

private:
  using Handler = std::function<bool(std::shared_ptr<Request>, std::shared_ptr<Response>)>;

  // FIFO lock: waiters get it in the order they asked for it, so a thread that unlocks and
  // locks again at once queues behind those already waiting.
  class TicketLock
  {
  public:
    void lock();
    void unlock();

  private:
    std::mutex mutex_;
    std::condition_variable turn_changed_;
    uint64_t next_ticket_ = 0;
    uint64_t now_serving_ = 0;
  };

  ExecuteEngine();

  bool ExecuteModel1(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel2(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel3(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel4(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel5(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel6(std::shared_ptr<Request> request, std::shared_ptr<Response> response);

  // The following run with tick_lock_ held.
  // One tick for a request; a raised error is counted as a failure.
  void TickForRequest();
  // Starts the ticking thread unless it runs.
  void StartTicking();
  // One tick of the ticking thread; false when the thread is to end (tree done, error, stop
  // asked for, or ROS shut down), the tree then being left halted if it was running.
  bool TickForThread();
  // Halts the tree; an error while halting is only logged.
  void HaltTree();

  // Body of the ticking thread.
  void TickLoop();
  // Asks a running ticking thread to stop and waits for it. Takes tick_lock_ itself.
  void StopTicking();
  // Registered with std::atexit by Init, so that at exit the thread is stopped before the
  // statics created before Init (the ROS context, the logger, the command table) are destroyed.
  static void StopTickingAtExit();

  std::shared_ptr<Request> request_;
  std::unordered_map<int, Handler> handlers_;
  StatusBlock status_;
  BT::Tree tree_;
  std::shared_ptr<rclcpp::Node> node_;
  // True from the claim before the ticking thread starts until the thread's last tick, which
  // clears it while still holding the tick lock.
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
  TicketLock tick_lock_;
  // Kept joinable only so it can be waited for before a new one starts and at exit.
  std::thread tick_thread_;

public:
  // Stops the ticking thread, halts the tree (a running goal is cancelled at its server, which
  // needs ROS still up) and destroys the tree and the node given to Init, so that nothing of
  // the engine outlives a ROS shutdown. Waits for a tick in progress. Init may follow.
  void Release();
};

}  // namespace execute_engine

// The engine, set during the static initialisation of the engine's source file.
extern execute_engine::ExecuteEngine * g_execute_engine;

#endif  // EXECUTE_ENGINE__EXECUTE_ENGINE_HPP_
