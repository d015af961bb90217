// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/procter_tree_node.hpp"

#include <chrono>
#include <iostream>

#include "common_util/constants.hpp"
#include "common_util/log_holder.hpp"
#include "common_util/util.hpp"
#include "execute_engine/execute_engine.hpp"
#include "velmarin_protocol/srv/bottom_interact_srv.hpp"

namespace execute_engine
{

namespace
{
using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;

constexpr SyncTickStatusRule kProcterStatusRule{BT::NodeStatus::FAILURE, BT::NodeStatus::FAILURE};
constexpr std::chrono::milliseconds kDeviceResponseTimeout{30000};
constexpr std::chrono::milliseconds kDeviceServiceTimeout{1000};
constexpr int32_t kApplySettingsOperation = 0;

void PrintDeviceSettings(const velmarin_protocol::msg::ProcterDevices & devices)
{
  std::cout << "ProcterTreeNode ProcterWork" << std::endl;
  std::cout << "side_swp.cmd : " << devices.side_swp.cmd << std::endl;
  std::cout << "side_swp.duty : " << devices.side_swp.duty << std::endl;
  std::cout << "main_swp.cmd : " << devices.main_swp.cmd << std::endl;
  std::cout << "main_swp.duty : " << devices.main_swp.duty << std::endl;
  std::cout << "swp_lift.cmd : " << devices.swp_lift.cmd << std::endl;
  std::cout << "squeegee_fan.cmd : " << devices.squeegee_fan.cmd << std::endl;
  std::cout << "squeegee_fan.duty : " << devices.squeegee_fan.duty << std::endl;
  std::cout << "squeegee_lift.cmd : " << devices.squeegee_lift.cmd << std::endl;
  std::cout << "roll_mop.cmd : " << devices.roll_mop.cmd << std::endl;
  std::cout << "roll_mop.duty : " << devices.roll_mop.duty << std::endl;
  std::cout << "mop_pump.cmd : " << devices.mop_pump.cmd << std::endl;
  std::cout << "mop_pump.duty : " << devices.mop_pump.duty << std::endl;
  std::cout << "mop_lift.cmd : " << devices.mop_lift.cmd << std::endl;
}
}  // namespace

ProcterTreeNode::ProcterTreeNode(const std::string & name, const BT::NodeConfiguration & config)
: BT::SyncActionNode(name, config),
  cmd_handlers_{
    {4, std::bind(&ProcterTreeNode::Cancel, this, std::placeholders::_1)},
    {5, std::bind(&ProcterTreeNode::Pause, this, std::placeholders::_1)},
    {6, std::bind(&ProcterTreeNode::Done, this, std::placeholders::_1)},
    {7, std::bind(&ProcterTreeNode::Preempt, this, std::placeholders::_1)},
    {201, std::bind(&ProcterTreeNode::ProcterWork, this, std::placeholders::_1)},
  },
  procter_node_(common_util::MakePrivateNode("execute_engine_procter_node"))
{
}

BT::NodeStatus ProcterTreeNode::tick()
{
  // Held until the tick returns, whatever request replaces it meanwhile.
  const RequestPtr request = g_execute_engine->GetRequest();
  return sync_command::RunHandler(
    cmd_handlers_, request->command.cmd, request, *g_execute_engine->GetStatus(),
    kProcterStatusRule, EE_CALL_SITE);
}

bool ProcterTreeNode::Cancel(RequestPtr /*request*/)
{
  EE_LOG_DEBUG("ProcterTreeNode::Cancel");
  return true;
}

bool ProcterTreeNode::Pause(RequestPtr /*request*/)
{
  EE_LOG_DEBUG("ProcterTreeNode::Pause");
  return true;
}

bool ProcterTreeNode::Done(RequestPtr /*request*/)
{
  EE_LOG_DEBUG("ProcterTreeNode::Done");
  return true;
}

bool ProcterTreeNode::Preempt(RequestPtr /*request*/)
{
  EE_LOG_DEBUG("ProcterTreeNode::Preempt");
  return true;
}

bool ProcterTreeNode::ProcterWork(RequestPtr request)
{
  EE_LOG_DEBUG("ProcterTreeNode::ProcterWork");
  PrintDeviceSettings(request->devices);

  common_util::ServiceCallHolder<BottomInteract> holder;
  holder.request->operation = kApplySettingsOperation;
  holder.request->devices = request->devices;
  if (!common_util::SyncCallService(
        procter_node_, common_util::kBottomOperateService, holder, kDeviceResponseTimeout,
        kDeviceServiceTimeout)) {
    EE_LOG_ERROR("Issue procter operate failed");
    return false;
  }
  if (holder.response->error_code != 0) {
    g_execute_engine->SetErrorCode(holder.response->error_code);
    EE_LOG_ERROR("execute procter fail");
    return false;
  }
  return true;
}

}  // namespace execute_engine
