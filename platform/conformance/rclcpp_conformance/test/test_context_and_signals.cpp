#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;

namespace
{

std::atomic_int g_previous_handler_calls{0};

void previous_handler(int) { ++g_previous_handler_calls; }

}  // namespace

TEST(Context, InitTwiceFailsUntilShutdownAndInitAgainWorks)
{
  EXPECT_FALSE(rclcpp::ok());
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  EXPECT_TRUE(rclcpp::ok());
  EXPECT_THROW(rclcpp::init(0, nullptr), rclcpp::ContextAlreadyInitialized);
  EXPECT_TRUE(rclcpp::ok());

  auto context = rclcpp::contexts::get_global_default_context();
  int shutdown_callbacks = 0;
  auto handle = context->add_on_shutdown_callback([&shutdown_callbacks] { ++shutdown_callbacks; });
  EXPECT_TRUE(rclcpp::shutdown());
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());
  EXPECT_EQ(1, shutdown_callbacks);
  EXPECT_TRUE(context->remove_on_shutdown_callback(handle));
  EXPECT_FALSE(context->remove_on_shutdown_callback(handle));
  EXPECT_EQ("user called rclcpp::shutdown()", context->shutdown_reason());
  EXPECT_THROW(std::make_shared<rclcpp::Node>("late"), rclcpp::exceptions::RCLError);

  const char * argv[] = {"program", "--ros-args"};
  rclcpp::init(2, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  EXPECT_TRUE(rclcpp::ok());
  EXPECT_NO_THROW(std::make_shared<rclcpp::Node>("again"));
  rclcpp::shutdown(nullptr, "test over");
  EXPECT_EQ("test over", context->shutdown_reason());
  EXPECT_EQ(1, shutdown_callbacks);
}

TEST(Context, ShutdownInterruptsSleepAndContextsAreIndependent)
{
  auto own = std::make_shared<rclcpp::Context>();
  own->init(0, nullptr);
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  EXPECT_TRUE(rclcpp::sleep_for(1ms));
  auto sleeper = std::async(std::launch::async, [] { return rclcpp::sleep_for(10s); });
  std::this_thread::sleep_for(10ms);
  rclcpp::shutdown();
  ASSERT_EQ(std::future_status::ready, sleeper.wait_for(5s));
  EXPECT_FALSE(sleeper.get());
  EXPECT_TRUE(rclcpp::ok(own));
  EXPECT_TRUE(rclcpp::shutdown(own));
}

class SignalHandling : public ::testing::TestWithParam<int>
{
};

TEST_P(SignalHandling, SignalEndsSpinShutsDownAndChainsThePreviousHandler)
{
  const int signal_number = GetParam();
  auto previous = std::signal(signal_number, previous_handler);
  g_previous_handler_calls = 0;

  rclcpp::init(0, nullptr);
  EXPECT_TRUE(rclcpp::signal_handlers_installed());
  EXPECT_EQ(rclcpp::SignalHandlerOptions::All, rclcpp::get_current_signal_handler_options());
  auto node = std::make_shared<rclcpp::Node>("execute_engine_main_node");
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2, true);
  executor.add_node(node);
  auto spinning = std::async(std::launch::async, [&executor] { executor.spin(); });
  while (!executor.is_spinning()) {
    std::this_thread::yield();
  }

  std::raise(signal_number);
  ASSERT_EQ(std::future_status::ready, spinning.wait_for(10s));
  spinning.get();
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_EQ("signal handler", rclcpp::contexts::get_global_default_context()->shutdown_reason());
  EXPECT_EQ(1, g_previous_handler_calls.load());

  EXPECT_FALSE(rclcpp::shutdown());
  EXPECT_FALSE(rclcpp::signal_handlers_installed());
  EXPECT_EQ(previous_handler, std::signal(signal_number, previous));
}

INSTANTIATE_TEST_SUITE_P(InterruptAndTerminate, SignalHandling, ::testing::Values(SIGINT, SIGTERM));
