// The poll that an action node repeats back to back while it follows a goal: one spin_some(0)
// and one zero-timeout wait on the pending goal, on a private executor that holds nothing but
// one action client's group and has no work.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "example_interfaces/action/fibonacci.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"

namespace
{

using Fibonacci = example_interfaces::action::Fibonacci;

void BM_IdleClientPoll(benchmark::State & state)
{
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  {
    auto node = std::make_shared<rclcpp::Node>("benchmark_action_client");
    auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_callback_group(group, node->get_node_base_interface(), true);
    auto client = rclcpp_action::create_client<Fibonacci>(
      node, "benchmark_fibonacci", group, rcl_action_client_get_default_options());
    // No server answers, so the goal's future stays pending, as while a response is awaited.
    const auto pending = client->async_send_goal(Fibonacci::Goal());

    for (auto _ : state) {
      executor.spin_some(std::chrono::nanoseconds(0));
      benchmark::DoNotOptimize(
        executor.spin_until_future_complete(pending, std::chrono::milliseconds(0)));
    }
  }
  rclcpp::shutdown();
}
BENCHMARK(BM_IdleClientPoll);

}  // namespace

BENCHMARK_MAIN();
