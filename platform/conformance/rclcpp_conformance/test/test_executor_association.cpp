#include <utility>

#include "rclcpp_fixture.hpp"

namespace
{

bool holds(rclcpp::Executor & executor, const rclcpp::CallbackGroup::SharedPtr & group)
{
  for (const auto & weak : executor.get_all_callback_groups()) {
    if (weak.lock() == group) {
      return true;
    }
  }
  return false;
}

bool associated(const rclcpp::CallbackGroup::SharedPtr & group)
{
  return group->get_associated_with_executor_atomic().load();
}

}  // namespace

class ExecutorAssociation : public RclcppTest
{
protected:
  std::shared_ptr<rclcpp::Node> node = std::make_shared<rclcpp::Node>("execute_engine_topic");
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr base = node->get_node_base_interface();
  std::promise<void> never;
  std::shared_future<void> never_ready = never.get_future().share();
};

TEST_F(ExecutorAssociation, ANodeIsHeldByOneExecutorOrFreeSpinAtATimeWithHumblesErrors)
{
  // A free spin holds the node only while it runs.
  std::atomic_bool held_while_spinning{false};
  auto timer = node->create_wall_timer(
    1ms, [&] { held_while_spinning = base->get_associated_with_executor_atomic().load(); });
  EXPECT_EQ(
    rclcpp::FutureReturnCode::TIMEOUT, rclcpp::spin_until_future_complete(base, never_ready, 20ms));
  EXPECT_TRUE(held_while_spinning.load());
  EXPECT_FALSE(base->get_associated_with_executor_atomic().load());

  rclcpp::executors::SingleThreadedExecutor first;
  rclcpp::executors::SingleThreadedExecutor second;
  first.add_node(node);
  const std::string taken = "Node '/execute_engine_topic' has already been added to an executor.";
  const std::vector<std::pair<std::function<void()>, std::string>> refused = {
    {[&] { second.add_node(node); }, taken},
    {[&] { first.add_node(node); }, taken},
    {[&] { rclcpp::spin_until_future_complete(node, never_ready, 0ms); }, taken},
    {[&] { second.remove_node(node); }, "Node needs to be associated with this executor."},
  };
  for (const auto & [action, error] : refused) {
    EXPECT_EQ(error, error_of(action));
  }
  EXPECT_TRUE(base->get_associated_with_executor_atomic().load());

  first.remove_node(node);
  EXPECT_FALSE(base->get_associated_with_executor_atomic().load());
  EXPECT_EQ(
    "Node needs to be associated with an executor.", error_of([&] { first.remove_node(node); }));
  second.add_node(node);
  EXPECT_TRUE(holds(second, base->get_default_callback_group()));
}

TEST_F(ExecutorAssociation, DestroyedExecutorReleasesNodeAndGroups)
{
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  {
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(node);
    executor.add_callback_group(group, base);
  }
  EXPECT_FALSE(base->get_associated_with_executor_atomic().load());
  EXPECT_FALSE(associated(group));
  EXPECT_FALSE(associated(base->get_default_callback_group()));
}

TEST_F(ExecutorAssociation, GroupsJoinWithTheirNodeUnlessHeldElsewhereOrManual)
{
  auto automatic = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto manual = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant, false);
  auto taken = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  int received = 0;
  rclcpp::SubscriptionOptions options;
  options.callback_group = manual;
  auto subscription = node->create_subscription<Text>(
    "chatter", 10, [&](const Text &) { ++received; }, options);
  auto publisher = node->create_publisher<Text>("chatter", 10);

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
  EXPECT_FALSE(associated(manual));

  // Only an executor that holds the group delivers its work.
  publisher->publish(Text());
  main_executor.spin_some();
  EXPECT_EQ(0, received);
  rclcpp::executors::SingleThreadedExecutor manual_executor;
  manual_executor.add_callback_group(manual, base);
  manual_executor.spin_some();
  EXPECT_EQ(1, received);

  // A group made after the node was added joins when the executor next collects its work.
  auto later = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  EXPECT_FALSE(holds(main_executor, later));
  main_executor.spin_some();
  EXPECT_TRUE(holds(main_executor, later));

  // Removing the node releases the groups that came with it, not the ones added by hand.
  main_executor.remove_node(node);
  EXPECT_FALSE(associated(automatic));
  EXPECT_FALSE(associated(later));
  EXPECT_TRUE(associated(taken));
  private_executor.remove_callback_group(taken);
  EXPECT_FALSE(associated(taken));
  EXPECT_EQ("Callback group needs to be associated with executor.", error_of([&] {
              private_executor.remove_callback_group(taken);
            }));
}

TEST_F(ExecutorAssociation, SpinningTwiceFailsWithHumblesErrors)
{
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  BackgroundSpin spin(executor);
  const std::vector<std::pair<std::function<void()>, std::string>> refused = {
    {[&] { executor.spin(); }, "spin() called while already spinning"},
    {[&] { executor.spin_some(); }, "spin_some() called while already spinning"},
    {[&] { executor.spin_once(0s); }, "spin_once() called while already spinning"},
    {[&] { executor.spin_until_future_complete(never_ready, 0s); },
     "spin_until_future_complete() called while already spinning"},
  };
  for (const auto & [action, error] : refused) {
    EXPECT_EQ(error, error_of(action));
  }
}
