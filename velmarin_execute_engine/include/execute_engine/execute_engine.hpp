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
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "velmarin_protocol/msg/initial_pose.hpp"
#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

class GoalWaiter;

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
// Requests:
// - refused before anything is stored ("Failure", nothing ticked, a running goal left alone):
//   a model id without a handler, a command its model does not accept, a move or work request
//   whose route or a location request whose initial pose holds a NaN or infinite x, y or
//   heading (the field is logged), a move or work request while a goal runs, a steering request
//   when no goal of its model runs, and a location or mapping request while a goal runs;
// - a goal (models 2 and 4, commands 101 and 102) runs on the engine's ticking thread, which
//   ticks the tree until it stops returning RUNNING. Its first tick sees the goal's own request,
//   later ticks the goal's latest request: a steering request (another command of the goal's
//   model, other than the device commands 201 and 202) replaces it and is answered at once;
// - every other request is one-shot: ticked once on the calling thread, seeing itself as the
//   current request, and never seen by the ticking thread. An obstacle request (model 6) while a
//   goal runs first halts the tree, which ends the goal. A one-shot request whose tick counted
//   nothing is answered "Failure".
// Before each tick the engine writes the blackboard entry "one_shot_tick": 1 for a one-shot
// tick, 0 for a tick of the ticking thread, so the tree can leave a running goal alone while a
// one-shot request passes.
//
// Threads: one fair lock serialises every tick and every change of the current request, the
// goal's request and the status block: a request holds it from its checks to the filling of
// its response (with its own tick, if any, inside), the ticking thread holds it for one tick at
// a time. A request therefore waits at most for the tick in progress, and a tick never sees its
// request replaced.
//
// Between two ticks of a goal the ticking thread sleeps, still holding the lock (the action
// client's callbacks touch what ticks read): when the tree's one action node that follows a
// goal (a GoalWaiter) has client work ready, its goal response falls due, a short cap passes,
// or anyone asks for the lock, which ends that sleep first. With no such node, or several, it
// ticks on at once. One-shot ticks never sleep.
//
// While an action node holds goals it has let go of that its server may still run (a late
// acceptance to cancel, a result to hand over), the ticking thread also runs without a goal,
// started by the request that left them if need be: it spins each such node's client in turn,
// in the same sleeps, until none is left.
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
  // the tree cannot be built (the engine then holds no tree), such as from a file that exists
  // but is unreadable; false without a word when the building fails with ROS down (an
  // interrupt came meanwhile, which the caller reports). Stops a running ticking thread
  // before the tree is replaced. Call it before requests arrive, never at the same time as
  // ScheduleRequest.
  bool Init(std::shared_ptr<rclcpp::Node> node, const std::string & xml_or_path, bool from_text);

  // Runs the handler of the request's model id. False, with the response set to "Failure"
  // (result 1) and nothing else done, for a model id without a handler.
  bool ScheduleRequest(std::shared_ptr<Request> request, std::shared_ptr<Response> response);

  // Refuses, starts or steers a goal, or ticks once for `request` (see the class comment). Then
  // answers with "Failure" (result 1) when a failure was counted, else "Success" (result 0),
  // and the error code. A tick that raises is logged, counted as a failure and leaves the tree
  // halted (a running goal then ends). Always true.
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

  // How many of the ticking thread's sleeps a request has ended before their time. Safe from
  // any thread.
  uint64_t RequestWakeUps() const;

private:
  using Handler = std::function<bool(std::shared_ptr<Request>, std::shared_ptr<Response>)>;

  // FIFO lock: waiters get it in the order they asked for it, so a thread that unlocks and
  // locks again at once queues behind those already waiting. Its holder may sleep on a
  // GoalWaiter that every later lock() interrupts.
  class TicketLock
  {
  public:
    // Interrupts the holder's sleep, if any, then waits for its turn.
    void lock();
    void unlock();

    // For the holder: false when someone already waits for the lock; otherwise `waiter` is
    // interrupted by every lock() until EndSleep, which tells whether one did.
    bool BeginSleep(GoalWaiter * waiter);
    bool EndSleep();

  private:
    std::mutex mutex_;
    std::condition_variable turn_changed_;
    uint64_t next_ticket_ = 0;
    uint64_t now_serving_ = 0;
    GoalWaiter * sleeping_on_ = nullptr;
    bool sleep_interrupted_ = false;
  };

  ExecuteEngine();

  bool ExecuteModel1(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel2(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel3(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel4(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel5(std::shared_ptr<Request> request, std::shared_ptr<Response> response);
  bool ExecuteModel6(std::shared_ptr<Request> request, std::shared_ptr<Response> response);

  // The following run with tick_lock_ held; each counts a failure where it refuses.
  // Makes `request` the goal's and has the ticking thread tick it, unless a goal runs.
  void StartGoal(std::shared_ptr<Request> request);
  // Starts the ticking thread unless it runs.
  void StartTicking();
  // Makes `request` the goal's latest request, if a goal of its model runs.
  void SteerGoal(std::shared_ptr<Request> request);
  // Ticks the tree once for `request`; counts a failure when the tick counted nothing.
  void TickOnce(std::shared_ptr<Request> request);
  // One tick with `request` as the current request; true when the tree is left RUNNING. A
  // raised error is logged and counted as a failure, and halts the tree.
  bool Tick(std::shared_ptr<Request> request, bool one_shot);
  // One tick of the running goal; false when the goal has ended (done, or an error).
  bool TickGoal();
  // One round of the ticking thread: a tick of the goal and a sleep, or a spin for goals let go
  // of; false when the thread is to end (nothing left to do, stop asked for, or ROS shut down,
  // a running goal then halted).
  bool TickOrWatch();
  // Spins, in turn, each GoalWaiter that holds goals it let go of (errors only logged); false
  // when none does.
  bool WatchLeftGoals();
  // Halts the tree (an error while halting is only logged), which ends a running goal.
  void HaltTree();
  // Forgets the goal's requests; the ticking thread then ends without another tick.
  void EndGoal();

  // After a tick of the ticking thread that left the tree RUNNING: sleeps on the tree's one
  // GoalWaiter that follows a goal (see the class comment). An error raised meanwhile is
  // logged and halts the tree.
  void SleepUntilWork();

  // Body of the ticking thread.
  void TickLoop();
  // Asks a running ticking thread to stop and waits for it. Takes tick_lock_ itself.
  void StopTicking();
  // Registered with std::atexit by Init, so that at exit the thread is stopped before the
  // statics created before Init (the ROS context, the logger, the command table) are destroyed.
  static void StopTickingAtExit();

  // The request the tick in progress, or the last one, sees.
  std::shared_ptr<Request> request_;
  std::unordered_map<int, Handler> handlers_;
  StatusBlock status_;
  BT::Tree tree_;
  std::shared_ptr<rclcpp::Node> node_;
  // The tree's nodes the ticking thread may sleep on; they live as long as the tree.
  std::vector<GoalWaiter *> goal_waiters_;
  // True from the claim before the ticking thread starts until the thread's last lock of the
  // tick lock, under which it clears it.
  std::atomic<bool> running_{false};
  // The tree's blackboard, where the engine writes "one_shot_tick".
  BT::Blackboard::Ptr blackboard_ = BT::Blackboard::create();
  // The running goal's latest request; null while no goal runs.
  std::shared_ptr<Request> goal_request_;
  // The goal's own move or work request until the ticking thread's first tick of it.
  std::shared_ptr<Request> goal_start_;
  std::atomic<bool> stop_requested_{false};
  std::atomic<uint64_t> request_wake_ups_{0};
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
