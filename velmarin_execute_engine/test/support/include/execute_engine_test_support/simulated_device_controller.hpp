// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_DEVICE_CONTROLLER_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_DEVICE_CONTROLLER_HPP_

#include "execute_engine_test_support/simulated_service.hpp"
#include "velmarin_protocol/srv/bottom_interact_srv.hpp"

namespace execute_engine_test_support
{

// The device controller's "bottom_operate", accepting every setting (error code 0) until told
// otherwise.
struct SimulatedDeviceController : SimulatedService<velmarin_protocol::srv::BottomInteractSrv>
{
  explicit SimulatedDeviceController(BackgroundExecutor & executor)
  : SimulatedService(executor, "simulated_device_controller", "bottom_operate")
  {
  }

  // The error code every later request is answered with.
  void SetErrorCode(int32_t code)
  {
    SetAnswer([code](Response & r) { r.error_code = code; });
  }
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_DEVICE_CONTROLLER_HPP_
