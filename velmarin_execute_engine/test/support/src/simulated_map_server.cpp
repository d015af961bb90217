// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include "execute_engine_test_support/simulated_map_server.hpp"

namespace execute_engine_test_support
{

SimulatedMapServer::SimulatedMapServer(BackgroundExecutor & executor)
: SimulatedService(executor, "simulated_map_server", "/map_server/load_map")
{
}

void SimulatedMapServer::SetResult(uint8_t result)
{
  nav2_msgs::srv::LoadMap::Response answer;
  answer.result = result;
  SetAnswer(answer);
}

}  // namespace execute_engine_test_support
