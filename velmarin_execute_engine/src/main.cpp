// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <exception>
#include <iostream>

#include "execute_engine/start_up.hpp"
#include "rclcpp/rclcpp.hpp"

int main(int argc, char ** argv)
{
  try {
    rclcpp::init(argc, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::All);
  } catch (const std::exception & error) {
    std::cout << error.what() << std::endl << "execute engine init failed" << std::endl;
    return -1;
  }
  return execute_engine::ServeExecuteRobot();
}
