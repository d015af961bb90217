// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__CMD_HANDLER_TABLE_HPP_
#define EXECUTE_ENGINE__CMD_HANDLER_TABLE_HPP_

#include <behaviortree_cpp_v3/basic_types.h>

#include <cstdint>
#include <functional>
#include <type_traits>
#include <unordered_map>

#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"

namespace execute_engine
{

// A node's commands: command code to the handler that carries the command out, each a member
// function bound to its node. A handler returns true when the command succeeded. Filled in the
// node's constructor and never changed afterwards.
template <typename Arg>
using CmdHandlerTable = std::unordered_map<int, std::function<bool(Arg)>>;

// What a synchronous command node returns to the tree once its handler has run. The request's
// response never depends on it: it is built from the counters.
struct SyncTickStatusRule
{
  BT::NodeStatus after_success;
  BT::NodeStatus after_failure;
};

namespace sync_command
{

// The tick of the synchronous command nodes: runs the handler of `cmd` with `arg` and counts
// its result in `status` (success or failure counter), then returns the status `rule` gives.
// A command without a handler is logged ("miss cmd:{}") as coming from `call_site`, the
// node's own tick, counts nothing and gives FAILURE. Errors raised by the handler are not
// caught and leave nothing counted.
template <typename Arg>
BT::NodeStatus RunHandler(
  const CmdHandlerTable<Arg> & handlers, int32_t cmd, const std::decay_t<Arg> & arg,
  StatusBlock & status, SyncTickStatusRule rule, const spdlog::source_loc & call_site)
{
  const auto handler = handlers.find(cmd);
  if (handler == handlers.end()) {
    EE_LOG_AT(call_site, ::spdlog::level::debug, "miss cmd:{}", cmd);
    return BT::NodeStatus::FAILURE;
  }
  if (handler->second(arg)) {
    ++status.success_count;
    return rule.after_success;
  }
  ++status.failure_count;
  return rule.after_failure;
}

}  // namespace sync_command
}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__CMD_HANDLER_TABLE_HPP_
