#include <csignal>

#include "rclcpp_fixture.hpp"

// What holds on real Humble around a shutdown, which the system's own shutdown relies on.

TEST(Context, InitTwiceFailsAndAfterShutdownNothingIsMadeOrSpunUntilInitAgain)
{
  EXPECT_FALSE(rclcpp::ok());
  init_ros();
  EXPECT_THROW(init_ros(), rclcpp::ContextAlreadyInitialized);
  auto node = std::make_shared<rclcpp::Node>("after_shutdown");
  EXPECT_TRUE(rclcpp::shutdown());
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());

  std::promise<void> never;
  EXPECT_THROW(
    rclcpp::spin_until_future_complete(
      node->get_node_base_interface(), never.get_future().share(), 10ms),
    rclcpp::exceptions::RCLError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>("too_late"), rclcpp::exceptions::RCLError);

  node.reset();
  const char * argv[] = {"program", "--ros-args"};
  rclcpp::init(
    2, argv, rclcpp::InitOptions().auto_initialize_logging(false),
    rclcpp::SignalHandlerOptions::None);
  EXPECT_NO_THROW(std::make_shared<rclcpp::Node>("again"));
  rclcpp::shutdown();
}

TEST(ContextDeathTest, ANodeOfAnEarlierInitOutlivingAnotherInitIsFatal)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
    {
      init_ros();
      auto node = std::make_shared<rclcpp::Node>("outlives_its_init");
      rclcpp::shutdown();
      // Real Humble ends the process once the node goes; the stand-in refuses the init.
      try {
        init_ros();
      } catch (const rclcpp::exceptions::RCLError &) {
        std::abort();
      }
      node.reset();
    },
    "");
}

TEST(Context, PreShutdownCallbacksRunWhileTheContextIsValidAndStayUntilRemoved)
{
  init_ros();
  auto context = rclcpp::contexts::get_global_default_context();
  std::vector<std::string> order;
  auto on = context->add_on_shutdown_callback([&order] { order.push_back("on shutdown"); });
  auto pre = context->add_pre_shutdown_callback(
    [&order] { order.push_back(rclcpp::ok() ? "pre, valid" : "pre, invalid"); });
  auto removed = context->add_pre_shutdown_callback([&order] { order.push_back("removed"); });
  EXPECT_TRUE(context->remove_pre_shutdown_callback(removed));
  EXPECT_FALSE(context->remove_pre_shutdown_callback(removed));

  rclcpp::shutdown();
  EXPECT_EQ(order, (std::vector<std::string>{"pre, valid", "on shutdown"}));
  EXPECT_TRUE(context->remove_pre_shutdown_callback(pre));
  EXPECT_TRUE(context->remove_on_shutdown_callback(on));
}

namespace
{

std::atomic_int g_previous_handler_calls{0};

void previous_handler(int) { ++g_previous_handler_calls; }

}  // namespace

class SignalHandling : public ::testing::TestWithParam<int>
{
};

TEST_P(SignalHandling, SignalShutsDownEndingTheSpinAndChainsThePreviousHandler)
{
  const int signal_number = GetParam();
  auto previous = std::signal(signal_number, previous_handler);
  g_previous_handler_calls = 0;
  init_ros(rclcpp::SignalHandlerOptions::All);
  auto context = rclcpp::contexts::get_global_default_context();
  std::atomic_bool released_while_valid{false};
  auto release = context->add_pre_shutdown_callback([&] { released_while_valid = rclcpp::ok(); });
  auto node = std::make_shared<rclcpp::Node>("execute_engine_main_node");
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2, true);
  executor.add_node(node);
  {
    BackgroundSpin spin(executor);
    std::raise(signal_number);
    EXPECT_TRUE(spin.ended(10s));
  }
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_TRUE(released_while_valid.load());
  EXPECT_EQ(1, g_previous_handler_calls.load());
  EXPECT_TRUE(context->remove_pre_shutdown_callback(release));

  EXPECT_FALSE(rclcpp::shutdown());
  EXPECT_EQ(previous_handler, std::signal(signal_number, previous));
}

INSTANTIATE_TEST_SUITE_P(InterruptAndTerminate, SignalHandling, ::testing::Values(SIGINT, SIGTERM));
