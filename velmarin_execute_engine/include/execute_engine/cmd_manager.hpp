// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__CMD_MANAGER_HPP_
#define EXECUTE_ENGINE__CMD_MANAGER_HPP_

#include <behaviortree_cpp_v3/basic_types.h>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

// The command table (which command codes each model accepts) and the Sentinel conditions
// built on it. A Sentinel lets its branch of the tree run only when the current request is for
// its model and carries a command that model accepts.
class CmdManager
{
public:
  // The process-wide table, built on the first call.
  static CmdManager * GetInstance();

  // SUCCESS when `request` is for `model` and its command is accepted by that model, else
  // FAILURE. A request for `model` clears the engine's success and failure counters, whether
  // or not its command is accepted. A request whose model id has no entry in the table is
  // logged as an error and touches nothing. Runs inside a tick (see ExecuteEngine).
  BT::NodeStatus Sentinel(
    int model, const velmarin_protocol::srv::RobotCommon::Request * request) const;

  // Whether `model_id` is in the table and accepts `cmd`. Logs nothing, touches nothing.
  bool Accepts(int32_t model_id, int32_t cmd) const;

  // Sentinel for one model on the engine's current request; registered as tree conditions
  // under their own names.
  BT::NodeStatus LocationSentinel() const;    // model 1
  BT::NodeStatus NavigationSentinel() const;  // model 2
  BT::NodeStatus ProcterSentinel() const;     // model 3
  BT::NodeStatus SweepSentinel() const;       // model 4
  BT::NodeStatus SlamSentinel() const;        // model 5
  BT::NodeStatus SecuritySentinel() const;    // model 6

private:
  CmdManager();

  // Model id to the command codes it accepts; never changed after construction.
  std::unordered_map<int32_t, std::unordered_set<int32_t>> cmd_table_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__CMD_MANAGER_HPP_
