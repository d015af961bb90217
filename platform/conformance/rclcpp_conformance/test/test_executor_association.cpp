#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "example_interfaces/msg/string.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using namespace std::chrono_literals;

namespace
{

template <typename Callable>
std::string error_of(Callable && callable)
{
  try {
    callable();
  } catch (const std::runtime_error & error) {
    return error.what();
  }
  return "no error";
}

bool holds(rclcpp::Executor & executor, const rclcpp::CallbackGroup::SharedPtr & group)
{
  for (const auto & weak : executor.get_all_callback_groups()) {
    if (weak.lock() == group) {
      return true;
    }
  }
  return false;
}

}  // namespace

class ExecutorAssociation : public RclcppTest
{
};

TEST_F(ExecutorAssociation, NodeHeldByOneExecutorAtATime)
{
  auto node = std::make_shared<rclcpp::Node>("execute_engine_topic");
  auto base = node->get_node_base_interface();
  rclcpp::executors::SingleThreadedExecutor first;
  rclcpp::executors::SingleThreadedExecutor second;

  first.add_node(node);
  EXPECT_TRUE(base->get_associated_with_executor_atomic().load());
  const std::string expected =
    "Node '/execute_engine_topic' has already been added to an executor.";
  EXPECT_EQ(expected, error_of([&] { second.add_node(node); }));
  EXPECT_EQ(expected, error_of([&] { first.add_node(node); }));
  EXPECT_EQ(
    "Node needs to be associated with this executor.", error_of([&] { second.remove_node(node); }));

  first.remove_node(node);
  EXPECT_FALSE(base->get_associated_with_executor_atomic().load());
  EXPECT_EQ(
    "Node needs to be associated with an executor.", error_of([&] { first.remove_node(node); }));
  second.add_node(node);
  EXPECT_TRUE(holds(second, base->get_default_callback_group()));
}

TEST_F(ExecutorAssociation, DestroyedExecutorReleasesNodeAndGroups)
{
  auto node = std::make_shared<rclcpp::Node>("released");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  {
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(node);
    executor.add_callback_group(group, node->get_node_base_interface());
  }
  EXPECT_FALSE(node->get_node_base_interface()->get_associated_with_executor_atomic().load());
  EXPECT_FALSE(group->get_associated_with_executor_atomic().load());
  EXPECT_FALSE(node->get_node_base_interface()
                 ->get_default_callback_group()
                 ->get_associated_with_executor_atomic()
                 .load());
}

TEST_F(ExecutorAssociation, GroupsJoinWithTheirNodeUnlessHeldElsewhereOrManual)
{
  auto node = std::make_shared<rclcpp::Node>("grouped");
  auto base = node->get_node_base_interface();
  auto automatic = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto manual = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant, false);
  auto taken = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);

  rclcpp::executors::SingleThreadedExecutor private_executor;
  private_executor.add_callback_group(taken, base);
  EXPECT_EQ("Callback group has already been added to an executor.", error_of([&] {
              private_executor.add_callback_group(taken, base);
            }));

  rclcpp::executors::MultiThreadedExecutor main_executor;
  main_executor.add_node(node);
  EXPECT_TRUE(holds(main_executor, base->get_default_callback_group()));
  EXPECT_TRUE(holds(main_executor, automatic));
  EXPECT_FALSE(holds(main_executor, manual));
  EXPECT_FALSE(holds(main_executor, taken));
  EXPECT_TRUE(holds(private_executor, taken));
  EXPECT_FALSE(manual->get_associated_with_executor_atomic().load());

  // A group made after the node was added joins when the executor next collects its work.
  auto later = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  EXPECT_FALSE(holds(main_executor, later));
  main_executor.spin_some();
  EXPECT_TRUE(holds(main_executor, later));

  // Removing the node releases the groups that came with it, not the ones added by hand.
  main_executor.remove_node(node);
  EXPECT_FALSE(automatic->get_associated_with_executor_atomic().load());
  EXPECT_FALSE(later->get_associated_with_executor_atomic().load());
  EXPECT_TRUE(taken->get_associated_with_executor_atomic().load());
  private_executor.remove_callback_group(taken);
  EXPECT_FALSE(taken->get_associated_with_executor_atomic().load());
  EXPECT_EQ("Callback group needs to be associated with executor.", error_of([&] {
              private_executor.remove_callback_group(taken);
            }));
}

TEST_F(ExecutorAssociation, SpinningTwiceFailsWithHumbleTexts)
{
  auto node = std::make_shared<rclcpp::Node>("spun");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  std::promise<void> never;
  auto never_ready = never.get_future().share();

  auto spinner = std::async(std::launch::async, [&] { executor.spin(); });
  while (!executor.is_spinning()) {
    std::this_thread::yield();
  }
  EXPECT_EQ("spin() called while already spinning", error_of([&] { executor.spin(); }));
  EXPECT_EQ("spin_some() called while already spinning", error_of([&] { executor.spin_some(); }));
  EXPECT_EQ("spin_once() called while already spinning", error_of([&] { executor.spin_once(0s); }));
  EXPECT_EQ("spin_until_future_complete() called while already spinning", error_of([&] {
              executor.spin_until_future_complete(never_ready, 0s);
            }));
  executor.cancel();
  spinner.get();
  EXPECT_FALSE(executor.is_spinning());
}

TEST_F(ExecutorAssociation, FreeSpinHoldsTheNodeOnlyDuringTheCall)
{
  auto node = std::make_shared<rclcpp::Node>("execute_engine_procter_node");
  auto base = node->get_node_base_interface();
  std::promise<void> never;
  auto never_ready = never.get_future().share();

  std::atomic_bool held_while_spinning{false};
  auto timer = node->create_wall_timer(
    1ms, [&] { held_while_spinning = base->get_associated_with_executor_atomic().load(); });
  EXPECT_EQ(
    rclcpp::FutureReturnCode::TIMEOUT, rclcpp::spin_until_future_complete(base, never_ready, 20ms));
  EXPECT_TRUE(held_while_spinning.load());
  EXPECT_FALSE(base->get_associated_with_executor_atomic().load());

  rclcpp::executors::MultiThreadedExecutor main_executor;
  main_executor.add_node(node);
  EXPECT_EQ(
    "Node '/execute_engine_procter_node' has already been added to an executor.",
    error_of([&] { rclcpp::spin_until_future_complete(node, never_ready, 0ms); }));
  EXPECT_EQ(
    "Node '/execute_engine_procter_node' has already been added to an executor.",
    error_of([&] { rclcpp::spin_some(node); }));
  EXPECT_TRUE(base->get_associated_with_executor_atomic().load());
}

TEST_F(ExecutorAssociation, NothingIsDeliveredWithoutASpinningExecutorOfTheGroup)
{
  auto node = std::make_shared<rclcpp::Node>("idle");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  int received = 0;
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  auto subscription = node->create_subscription<example_interfaces::msg::String>(
    "chatter", 10, [&](const example_interfaces::msg::String &) { ++received; }, options);
  auto publisher = node->create_publisher<example_interfaces::msg::String>("chatter", 10);

  rclcpp::executors::SingleThreadedExecutor node_executor;
  node_executor.add_node(node);
  publisher->publish(example_interfaces::msg::String());
  node_executor.spin_some();
  EXPECT_EQ(0, received);

  rclcpp::executors::SingleThreadedExecutor group_executor;
  group_executor.add_callback_group(group, node->get_node_base_interface());
  group_executor.spin_some();
  EXPECT_EQ(1, received);
}
