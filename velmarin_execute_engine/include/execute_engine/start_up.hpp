// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__START_UP_HPP_
#define EXECUTE_ENGINE__START_UP_HPP_

namespace execute_engine
{

// Everything the process does after ROS is initialised: sets up the program logger, builds
// the engine's tree from the package's share directory, serves "execute_robot" on
// "execute_engine_main_node" with a multi-threaded executor until ROS shuts down, then shuts
// ROS down. Progress goes to standard output ("tree_path = ...", "after global engine init",
// "after advertiseService").
// Returns 0 after shutdown. When start-up fails before the service exists, writes the reason
// and "execute engine init failed" to standard output, shuts ROS down and returns -1.
int ServeExecuteRobot();

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__START_UP_HPP_
