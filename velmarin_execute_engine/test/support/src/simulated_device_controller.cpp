// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/simulated_device_controller.hpp"

namespace execute_engine_test_support
{

SimulatedDeviceController::SimulatedDeviceController(BackgroundExecutor & executor)
: SimulatedService(executor, "simulated_device_controller", "bottom_operate")
{
}

void SimulatedDeviceController::SetErrorCode(int32_t error_code)
{
  velmarin_protocol::srv::BottomInteractSrv::Response answer;
  answer.error_code = error_code;
  SetAnswer(answer);
}

}  // namespace execute_engine_test_support
