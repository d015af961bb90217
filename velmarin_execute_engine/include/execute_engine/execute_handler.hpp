// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__EXECUTE_HANDLER_HPP_
#define EXECUTE_ENGINE__EXECUTE_HANDLER_HPP_

#include <memory>

#include "velmarin_protocol/srv/robot_common.hpp"

namespace execute_engine
{

// Callback of the "execute_robot" service.
class ExecuteHandler
{
public:
  // Hands the request and the response to the engine and ignores its verdict: the service
  // layer sends the response, as the engine left it, for every request. Always true.
  bool HandleRobotCommon(
    std::shared_ptr<velmarin_protocol::srv::RobotCommon::Request> request,
    std::shared_ptr<velmarin_protocol::srv::RobotCommon::Response> response);
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__EXECUTE_HANDLER_HPP_
