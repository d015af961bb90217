// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAP_SERVER_HPP_
#define EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAP_SERVER_HPP_

#include "execute_engine_test_support/simulated_service.hpp"
#include "nav2_msgs/srv/load_map.hpp"

namespace execute_engine_test_support
{

// The map server's "/map_server/load_map", answering RESULT_SUCCESS until told otherwise.
struct SimulatedMapServer : SimulatedService<nav2_msgs::srv::LoadMap>
{
  explicit SimulatedMapServer(BackgroundExecutor & executor)
  : SimulatedService(executor, "simulated_map_server", "/map_server/load_map")
  {
  }

  // The result code every later request is answered with.
  void SetResult(uint8_t result)
  {
    SetAnswer([result](Response & r) { r.result = result; });
  }
};

}  // namespace execute_engine_test_support

#endif  // EXECUTE_ENGINE_TEST_SUPPORT__SIMULATED_MAP_SERVER_HPP_
