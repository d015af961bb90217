#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "example_interfaces/srv/add_two_ints.hpp"
#include "example_interfaces/srv/set_bool.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_fixture.hpp"

using namespace std::chrono_literals;
using example_interfaces::srv::AddTwoInts;

namespace
{

void add(
  const std::shared_ptr<AddTwoInts::Request> request,
  std::shared_ptr<AddTwoInts::Response> response)
{
  response->sum = request->a + request->b;
}

std::shared_ptr<AddTwoInts::Request> make_request(int64_t a, int64_t b)
{
  auto request = std::make_shared<AddTwoInts::Request>();
  request->a = a;
  request->b = b;
  return request;
}

/// A server node spun by a multi-threaded executor on background threads.
class BackgroundServer
{
public:
  explicit BackgroundServer(const std::string & service_name)
  : node_(std::make_shared<rclcpp::Node>("server")),
    service_(node_->create_service<AddTwoInts>(
      service_name,
      [this](
        const std::shared_ptr<AddTwoInts::Request> request,
        std::shared_ptr<AddTwoInts::Response> response) {
        add(request, response);
        ++served;
      })),
    executor_(rclcpp::ExecutorOptions(), 2)
  {
    executor_.add_node(node_);
    spinner_ = std::thread([this] { executor_.spin(); });
  }

  ~BackgroundServer()
  {
    executor_.cancel();
    spinner_.join();
  }

  void wait_until_served(int count)
  {
    while (served.load() < count) {
      std::this_thread::sleep_for(1ms);
    }
  }

  std::atomic_int served{0};

private:
  std::shared_ptr<rclcpp::Node> node_;
  rclcpp::Service<AddTwoInts>::SharedPtr service_;
  rclcpp::executors::MultiThreadedExecutor executor_;
  std::thread spinner_;
};

}  // namespace

class ServiceClient : public RclcppTest
{
};

TEST_F(ServiceClient, WaitForServiceMatchesResolvedNameAndType)
{
  auto topic_node = std::make_shared<rclcpp::Node>("execute_engine_topic");
  auto client = topic_node->create_client<AddTwoInts>("/map_server/load_map");
  EXPECT_STREQ("/map_server/load_map", client->get_service_name());
  EXPECT_FALSE(client->wait_for_service(20ms));

  auto map_server = std::make_shared<rclcpp::Node>("map_server", "map_server");
  auto wrong_type = map_server->create_service<example_interfaces::srv::SetBool>(
    "load_map", [](
                  const std::shared_ptr<example_interfaces::srv::SetBool::Request>,
                  std::shared_ptr<example_interfaces::srv::SetBool::Response>) {});
  auto wrong_name = map_server->create_service<AddTwoInts>("~/load_map", add);
  EXPECT_STREQ("/map_server/map_server/load_map", wrong_name->get_service_name());
  EXPECT_FALSE(client->service_is_ready());

  rclcpp::Service<AddTwoInts>::SharedPtr service;
  auto appears_later = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(20ms);
    service = map_server->create_service<AddTwoInts>("load_map", add);
  });
  EXPECT_TRUE(client->wait_for_service(10s));
  appears_later.get();
  EXPECT_STREQ("/map_server/load_map", service->get_service_name());
  EXPECT_TRUE(client->service_is_ready());

  // The graph may learn of a removal a little later.
  service.reset();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (client->service_is_ready() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_FALSE(client->service_is_ready());
}

TEST_F(ServiceClient, ShutdownEndsWaitForService)
{
  auto node = std::make_shared<rclcpp::Node>("client");
  auto client = node->create_client<AddTwoInts>("absent");
  auto waiting = std::async(std::launch::async, [&] { return client->wait_for_service(10s); });
  std::this_thread::sleep_for(10ms);
  rclcpp::shutdown();
  ASSERT_EQ(std::future_status::ready, waiting.wait_for(5s));
  EXPECT_FALSE(waiting.get());
}

TEST_F(ServiceClient, ReplyIsDeliveredOnlyWhileTheClientsGroupIsSpun)
{
  BackgroundServer server("add");
  auto node = std::make_shared<rclcpp::Node>("client");
  auto client = node->create_client<AddTwoInts>("add");
  ASSERT_TRUE(client->wait_for_service(5s));

  auto future = client->async_send_request(make_request(2, 3));
  EXPECT_EQ(1, future.request_id);
  server.wait_until_served(1);
  EXPECT_EQ(std::future_status::timeout, future.wait_for(20ms));

  ASSERT_EQ(
    rclcpp::FutureReturnCode::SUCCESS,
    rclcpp::spin_until_future_complete(node->get_node_base_interface(), future, 5s));
  EXPECT_EQ(5, future.get()->sum);

  int callback_sum = 0;
  auto with_callback = client->async_send_request(
    make_request(4, 5), [&callback_sum](rclcpp::Client<AddTwoInts>::SharedFuture done) {
      callback_sum = done.get()->sum;
    });
  EXPECT_EQ(2, with_callback.request_id);
  ASSERT_EQ(
    rclcpp::FutureReturnCode::SUCCESS,
    rclcpp::spin_until_future_complete(node, with_callback.future, 5s));
  EXPECT_EQ(9, callback_sum);
}

TEST_F(ServiceClient, ReplyToARemovedRequestIsDropped)
{
  BackgroundServer server("add");
  auto node = std::make_shared<rclcpp::Node>("client");
  auto client = node->create_client<AddTwoInts>("add");
  ASSERT_TRUE(client->wait_for_service(5s));

  auto forgotten = client->async_send_request(make_request(1, 1));
  bool callback_ran = false;
  auto forgotten_with_callback = client->async_send_request(
    make_request(1, 2),
    [&callback_ran](rclcpp::Client<AddTwoInts>::SharedFuture) { callback_ran = true; });
  EXPECT_TRUE(client->remove_pending_request(forgotten));
  EXPECT_FALSE(client->remove_pending_request(forgotten.request_id));
  EXPECT_TRUE(client->remove_pending_request(forgotten_with_callback));
  server.wait_until_served(2);

  auto kept = client->async_send_request(make_request(3, 4));
  ASSERT_EQ(rclcpp::FutureReturnCode::SUCCESS, rclcpp::spin_until_future_complete(node, kept, 5s));
  rclcpp::spin_some(node);
  // As in Humble, removing a request abandons its promise: the future never gets the reply.
  EXPECT_THROW(forgotten.get(), std::future_error);
  EXPECT_FALSE(callback_ran);
  EXPECT_EQ(7, kept.get()->sum);

  client->async_send_request(make_request(0, 0));
  EXPECT_EQ(1u, client->prune_pending_requests());
}

TEST_F(ServiceClient, ClientFormGetsItsReplyThroughAnotherExecutorThread)
{
  // The topic node's client has a group of its own; a service callback of the main node waits
  // on the client's future while another thread of the same executor delivers the reply.
  auto topic_node = std::make_shared<rclcpp::Node>("execute_engine_topic");
  auto load_map_group =
    topic_node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto load_map = topic_node->create_client<AddTwoInts>(
    "/map_server/load_map", rmw_qos_profile_services_default, load_map_group);
  auto map_server = std::make_shared<rclcpp::Node>("map_server", "map_server");
  auto load_map_service = map_server->create_service<AddTwoInts>("load_map", add);

  auto main_node = std::make_shared<rclcpp::Node>("execute_engine_main_node");
  auto execute_robot = main_node->create_service<AddTwoInts>(
    "execute_robot", [&load_map](
                       const std::shared_ptr<AddTwoInts::Request> request,
                       std::shared_ptr<AddTwoInts::Response> response) {
      if (!load_map->wait_for_service(1s)) {
        return;
      }
      auto future = load_map->async_send_request(make_request(request->a, request->b));
      if (future.wait_for(5s) == std::future_status::ready) {
        response->sum = future.get()->sum;
      } else {
        load_map->remove_pending_request(future);
        response->sum = -1;
      }
    });

  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2, true);
  executor.add_node(main_node);
  executor.add_node(topic_node);
  executor.add_node(map_server);
  std::thread spinner([&executor] { executor.spin(); });

  auto caller = std::make_shared<rclcpp::Node>("caller");
  auto client = caller->create_client<AddTwoInts>("execute_robot");
  ASSERT_TRUE(client->wait_for_service(5s));
  auto future = client->async_send_request(make_request(20, 22));
  EXPECT_EQ(
    rclcpp::FutureReturnCode::SUCCESS, rclcpp::spin_until_future_complete(caller, future, 10s));
  EXPECT_EQ(42, future.get()->sum);

  executor.cancel();
  spinner.join();
}

namespace
{

class Handler
{
public:
  bool handle(
    const std::shared_ptr<AddTwoInts::Request> request,
    std::shared_ptr<AddTwoInts::Response> response)
  {
    response->sum = request->a + request->b;
    request->a = -100;
    return false;
  }
};

}  // namespace

TEST_F(ServiceClient, EveryServiceCallbackFormAnswers)
{
  auto node = std::make_shared<rclcpp::Node>("forms");
  Handler handler;
  auto bound = node->create_service<AddTwoInts>(
    "bound", std::bind(&Handler::handle, &handler, std::placeholders::_1, std::placeholders::_2),
    rmw_qos_profile_services_default);
  int64_t header_sequence = 0;
  auto with_header = node->create_service<AddTwoInts>(
    "with_header", [&header_sequence](
                     const std::shared_ptr<rmw_request_id_t> header,
                     const std::shared_ptr<AddTwoInts::Request> request,
                     std::shared_ptr<AddTwoInts::Response> response) {
      header_sequence = header->sequence_number;
      response->sum = request->a * request->b;
    });
  rclcpp::Service<AddTwoInts>::SharedPtr deferred;
  deferred = node->create_service<AddTwoInts>(
    "deferred", [&deferred](
                  const std::shared_ptr<rmw_request_id_t> header,
                  const std::shared_ptr<AddTwoInts::Request> request) {
      AddTwoInts::Response response;
      response.sum = request->a - request->b;
      deferred->send_response(*header, response);
    });

  auto call = [&node](const std::string & name, int64_t a, int64_t b) {
    auto client = node->create_client<AddTwoInts>(name);
    auto request = make_request(a, b);
    auto future = client->async_send_request(request);
    EXPECT_EQ(
      rclcpp::FutureReturnCode::SUCCESS, rclcpp::spin_until_future_complete(node, future, 5s));
    EXPECT_EQ(a, request->a) << "the server must not change the caller's request";
    return future.get()->sum;
  };
  EXPECT_EQ(5, call("bound", 2, 3));
  EXPECT_EQ(6, call("with_header", 2, 3));
  EXPECT_GT(header_sequence, 0);
  EXPECT_EQ(-1, call("deferred", 2, 3));
}
