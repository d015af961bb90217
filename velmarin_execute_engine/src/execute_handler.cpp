// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine/execute_handler.hpp"

#include "execute_engine/execute_engine.hpp"

namespace execute_engine
{

bool ExecuteHandler::HandleRobotCommon(
  std::shared_ptr<velmarin_protocol::srv::RobotCommon::Request> request,
  std::shared_ptr<velmarin_protocol::srv::RobotCommon::Response> response)
{
  g_execute_engine->ScheduleRequest(request, response);
  return true;
}

}  // namespace execute_engine
