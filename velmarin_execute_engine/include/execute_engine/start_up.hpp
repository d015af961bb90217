// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__START_UP_HPP_
#define EXECUTE_ENGINE__START_UP_HPP_

#include <chrono>

namespace execute_engine
{

// Everything the process does after ROS is initialised: sets up the program logger, builds
// the engine's tree from the package's share directory, serves "execute_robot" on
// "execute_engine_main_node" with a multi-threaded executor until ROS shuts down, then shuts
// ROS down. Progress goes to standard output ("tree_path = ...", "after global engine init",
// "after advertiseService").
// Whoever shuts ROS down (a signal, or a call of rclcpp::shutdown), the engine is halted
// before the context goes down, so a running navigation or obstacle goal is cancelled at its
// server (the shutdown waits up to 6 s for that). Once this returns, the engine holds no
// tree, node or client, so ROS can be initialised and this run again in the same process.
// Before it serves, it gives the graph `discovery_moment` to show another server of
// "execute_robot"; if one shows, start-up fails as below, with that reason also logged: one
// engine per robot.
// Returns 0 after shutdown. When start-up fails before the service exists, writes the reason
// and "execute engine init failed" to standard output, shuts ROS down and returns -1. When ROS
// goes down during start-up (an interrupt signal), writes "start-up interrupted" and returns 0.
int ServeExecuteRobot(std::chrono::milliseconds discovery_moment = std::chrono::seconds(2));

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__START_UP_HPP_
