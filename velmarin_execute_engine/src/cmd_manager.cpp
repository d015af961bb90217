// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/cmd_manager.hpp"

#include "common_util/log_holder.hpp"
#include "execute_engine/execute_engine.hpp"

namespace execute_engine
{

namespace
{
constexpr int kLocationModel = 1;
constexpr int kNavigationModel = 2;
constexpr int kProcterModel = 3;
constexpr int kSweepModel = 4;
constexpr int kSlamModel = 5;
constexpr int kSecurityModel = 6;
}  // namespace

CmdManager::CmdManager()
: cmd_table_{
    {kLocationModel, {2, 1, 8, 101}},
    {kNavigationModel, {2, 4, 5, 6, 7, 102, 101, 8, 403}},
    {kProcterModel, {4, 5, 6, 7, 201}},
    {kSweepModel, {2, 4, 5, 6, 7, 102, 101, 201, 8, 403, 202}},
    {kSlamModel, {2, 4, 5, 6, 7, 301, 101, 8, 302}},
    {kSecurityModel, {401, 402, 403}},
  }
{
}

CmdManager * CmdManager::GetInstance()
{
  static CmdManager instance;
  return &instance;
}

BT::NodeStatus CmdManager::Sentinel(
  int model, const velmarin_protocol::srv::RobotCommon::Request * request) const
{
  const int32_t model_id = request->command.model_id;
  const auto accepted = cmd_table_.find(model_id);
  if (accepted == cmd_table_.end()) {
    EE_LOG_ERROR("model id:{} is not support current", model_id);
    return BT::NodeStatus::FAILURE;
  }
  if (model != model_id) {
    return BT::NodeStatus::FAILURE;
  }
  StatusBlock * status = g_execute_engine->GetStatus();
  status->success_count = 0;
  status->failure_count = 0;
  const int32_t cmd = request->command.cmd;
  if (accepted->second.count(cmd) == 0) {
    EE_LOG_ERROR("cmd:{} is not support by model:{}", cmd, model_id);
    return BT::NodeStatus::FAILURE;
  }
  return BT::NodeStatus::SUCCESS;
}

bool CmdManager::Accepts(int32_t model_id, int32_t cmd) const
{
  const auto accepted = cmd_table_.find(model_id);
  return accepted != cmd_table_.end() && accepted->second.count(cmd) != 0;
}

BT::NodeStatus CmdManager::LocationSentinel() const
{
  return Sentinel(kLocationModel, g_execute_engine->GetRequestPtr());
}

BT::NodeStatus CmdManager::NavigationSentinel() const
{
  return Sentinel(kNavigationModel, g_execute_engine->GetRequestPtr());
}

BT::NodeStatus CmdManager::ProcterSentinel() const
{
  return Sentinel(kProcterModel, g_execute_engine->GetRequestPtr());
}

BT::NodeStatus CmdManager::SweepSentinel() const
{
  return Sentinel(kSweepModel, g_execute_engine->GetRequestPtr());
}

BT::NodeStatus CmdManager::SlamSentinel() const
{
  return Sentinel(kSlamModel, g_execute_engine->GetRequestPtr());
}

BT::NodeStatus CmdManager::SecuritySentinel() const
{
  return Sentinel(kSecurityModel, g_execute_engine->GetRequestPtr());
}

}  // namespace execute_engine
