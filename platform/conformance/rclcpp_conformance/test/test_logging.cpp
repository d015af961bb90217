#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

class Logging : public RclcppTest
{
};

TEST_F(Logging, WritesHumbleConsoleLinesAndHidesDebugByDefault)
{
  auto node = std::make_shared<rclcpp::Node>("execute_engine_topic", "robot");

  testing::internal::CaptureStderr();
  RCLCPP_ERROR(node->get_logger(), "Failed to cancel action server for [%s]", "navigate");
  RCLCPP_DEBUG(node->get_logger(), "result_callback");
  RCLCPP_INFO(rclcpp::get_logger("rclcpp"), "Goal accepted by server, waiting for result");
  RCLCPP_WARN(rclcpp::get_logger("a.b"), "from %s", "a string");
  const std::string output = testing::internal::GetCapturedStderr();

  EXPECT_TRUE(std::regex_search(
    output, std::regex(R"(^\[ERROR\] \[\d+\.\d{9}\] \[robot\.execute_engine_topic\]: )"
                       R"(Failed to cancel action server for \[navigate\]\n)")))
    << output;
  EXPECT_EQ(std::string::npos, output.find("result_callback"));
  EXPECT_NE(
    std::string::npos, output.find("] [rclcpp]: Goal accepted by server, waiting for result\n"));
  EXPECT_NE(std::string::npos, output.find("[WARN] ["));
  EXPECT_NE(std::string::npos, output.find("] [a.b]: from a string\n"));
}
