#include <benchmark/benchmark.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "example_interfaces/srv/add_two_ints.hpp"
#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;
using example_interfaces::srv::AddTwoInts;

namespace
{

/// A server node and a client node, both held by one multi-threaded executor spinning on
/// background threads, as the process's main executor holds its nodes.
class RoundTripRig
{
public:
  explicit RoundTripRig(size_t threads)
  : server_node_(std::make_shared<rclcpp::Node>("bench_server")),
    client_node_(std::make_shared<rclcpp::Node>("bench_client")),
    service_(server_node_->create_service<AddTwoInts>(
      "add",
      [](
        const std::shared_ptr<AddTwoInts::Request> request,
        std::shared_ptr<AddTwoInts::Response> response) {
        response->sum = request->a + request->b;
      })),
    client_group_(
      client_node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive)),
    client_(client_node_->create_client<AddTwoInts>(
      "/add", rmw_qos_profile_services_default, client_group_)),
    executor_(rclcpp::ExecutorOptions(), threads, true)
  {
    executor_.add_node(server_node_);
    executor_.add_node(client_node_);
    spinner_ = std::thread([this] { executor_.spin(); });
    if (!client_->wait_for_service(5s)) {
      throw std::runtime_error("benchmark service did not appear");
    }
  }

  ~RoundTripRig()
  {
    executor_.cancel();
    spinner_.join();
  }

  rclcpp::Client<AddTwoInts> & client() { return *client_; }

private:
  std::shared_ptr<rclcpp::Node> server_node_;
  std::shared_ptr<rclcpp::Node> client_node_;
  rclcpp::Service<AddTwoInts>::SharedPtr service_;
  rclcpp::CallbackGroup::SharedPtr client_group_;
  rclcpp::Client<AddTwoInts>::SharedPtr client_;
  rclcpp::executors::MultiThreadedExecutor executor_;
  std::thread spinner_;
};

// One request and its reply; the caller only waits on the future while executor threads serve
// the request and deliver the reply.
void BM_ServiceRoundTripMultiThreadedExecutor(benchmark::State & state)
{
  RoundTripRig rig(static_cast<size_t>(state.range(0)));
  auto request = std::make_shared<AddTwoInts::Request>();
  request->a = 1;
  for (auto _ : state) {
    auto future = rig.client().async_send_request(request);
    if (future.wait_for(5s) != std::future_status::ready) {
      state.SkipWithError("reply did not come");
      break;
    }
    benchmark::DoNotOptimize(future.get()->sum);
  }
}
BENCHMARK(BM_ServiceRoundTripMultiThreadedExecutor)->Arg(2)->Arg(8)->UseRealTime();

// The blocking call that creates a client per call and spins its node until the reply
// (the server still runs on a multi-threaded executor).
void BM_ServiceCallSpinningTheCallingNode(benchmark::State & state)
{
  auto server_node = std::make_shared<rclcpp::Node>("bench_server");
  auto service = server_node->create_service<AddTwoInts>(
    "add",
    [](const std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {});
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2, true);
  executor.add_node(server_node);
  std::thread spinner([&executor] { executor.spin(); });
  auto caller = std::make_shared<rclcpp::Node>("bench_caller");
  auto request = std::make_shared<AddTwoInts::Request>();
  for (auto _ : state) {
    auto client = caller->create_client<AddTwoInts>("add");
    if (!client->wait_for_service(1s)) {
      state.SkipWithError("service did not appear");
      break;
    }
    auto future = client->async_send_request(request);
    if (
      rclcpp::spin_until_future_complete(caller->get_node_base_interface(), future, 5s) !=
      rclcpp::FutureReturnCode::SUCCESS) {
      state.SkipWithError("reply did not come");
      break;
    }
    benchmark::DoNotOptimize(future.get());
  }
  executor.cancel();
  spinner.join();
}
BENCHMARK(BM_ServiceCallSpinningTheCallingNode)->UseRealTime();

// A poll of an idle private executor holding one client: spin_some(0) and a zero-timeout
// spin_until_future_complete on a future that is not complete.
void BM_IdleExecutorPoll(benchmark::State & state)
{
  auto node = std::make_shared<rclcpp::Node>("bench_poller");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto client = node->create_client<AddTwoInts>("absent", rmw_qos_profile_services_default, group);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_callback_group(group, node->get_node_base_interface());
  std::promise<int> never;
  auto pending = never.get_future().share();
  for (auto _ : state) {
    executor.spin_some(0ns);
    benchmark::DoNotOptimize(executor.spin_until_future_complete(pending, 0ms));
  }
}
BENCHMARK(BM_IdleExecutorPoll);

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  benchmark::RunSpecifiedBenchmarks();
  rclcpp::shutdown();
  benchmark::Shutdown();
  return 0;
}
