#include <utility>

#include "example_interfaces/srv/set_bool.hpp"
#include "rclcpp_fixture.hpp"

namespace
{

void add(
  const std::shared_ptr<AddTwoInts::Request> request,
  std::shared_ptr<AddTwoInts::Response> response)
{
  response->sum = request->a + request->b;
}

/// A service of the system's form: a member that answers through its response and returns
/// whether it succeeded. It also changes its request, which the caller must not see.
class Handler
{
public:
  explicit Handler(rclcpp::Client<AddTwoInts>::SharedPtr forward = nullptr)
  : forward_(std::move(forward))
  {
  }

  bool handle(
    const std::shared_ptr<AddTwoInts::Request> request,
    std::shared_ptr<AddTwoInts::Response> response)
  {
    add(request, response);
    // Waits on the forwarded call's future while another executor thread delivers the reply.
    if (forward_ && forward_->wait_for_service(1s)) {
      auto pending = forward_->async_send_request(make_request(request->a, request->b));
      if (pending.future.wait_for(5s) == std::future_status::ready) {
        response->sum = 2 * pending.future.get()->sum;
      } else {
        forward_->remove_pending_request(pending.request_id);
      }
    }
    request->a = -100;
    ++served;
    return true;
  }

  std::atomic_int served{0};

private:
  rclcpp::Client<AddTwoInts>::SharedPtr forward_;
};

rclcpp::Service<AddTwoInts>::SharedPtr serve(
  const rclcpp::Node::SharedPtr & node, const std::string & name, Handler & handler)
{
  return node->create_service<AddTwoInts>(
    name, std::bind(&Handler::handle, &handler, std::placeholders::_1, std::placeholders::_2),
    rmw_qos_profile_services_default);
}

}  // namespace

class ServiceClient : public RclcppTest
{
protected:
  rclcpp::Node::SharedPtr node = std::make_shared<rclcpp::Node>("client");
};

TEST_F(ServiceClient, WaitForServiceMatchesResolvedNameAndTypeAndEndsOnShutdown)
{
  auto client = node->create_client<AddTwoInts>("/map_server/load_map");
  EXPECT_STREQ("/map_server/load_map", client->get_service_name());
  EXPECT_FALSE(client->wait_for_service(20ms));

  auto map_server = std::make_shared<rclcpp::Node>("map_server", "map_server");
  auto wrong_type = map_server->create_service<example_interfaces::srv::SetBool>(
    "load_map", [](
                  const std::shared_ptr<example_interfaces::srv::SetBool::Request>,
                  std::shared_ptr<example_interfaces::srv::SetBool::Response>) {});
  auto wrong_name = map_server->create_service<AddTwoInts>("~/load_map", add);
  EXPECT_STREQ("/map_server/map_server/load_map", wrong_name->get_service_name());
  // Another client of the very name and type is no server either.
  auto other_client = map_server->create_client<AddTwoInts>("load_map");
  EXPECT_FALSE(client->wait_for_service(200ms));

  rclcpp::Service<AddTwoInts>::SharedPtr service;
  auto appears_later = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(20ms);
    service = map_server->create_service<AddTwoInts>("load_map", add);
  });
  EXPECT_TRUE(client->wait_for_service(10s));
  appears_later.get();
  EXPECT_TRUE(client->service_is_ready());

  // The graph may learn of a removal a little later.
  service.reset();
  EXPECT_TRUE(wait_until([&] { return !client->service_is_ready(); }));

  auto waiting = std::async(std::launch::async, [&] { return client->wait_for_service(10s); });
  std::this_thread::sleep_for(10ms);
  rclcpp::shutdown();
  ASSERT_EQ(std::future_status::ready, waiting.wait_for(5s));
  EXPECT_FALSE(waiting.get());
}

TEST_F(ServiceClient, ReplyComesOnlyWhileTheClientIsSpunAndNeverToARemovedRequest)
{
  auto server_node = std::make_shared<rclcpp::Node>("server");
  Handler handler;
  auto service = serve(server_node, "add", handler);
  rclcpp::executors::MultiThreadedExecutor server_executor(rclcpp::ExecutorOptions(), 2);
  server_executor.add_node(server_node);
  BackgroundSpin server_spin(server_executor);
  auto client = node->create_client<AddTwoInts>("add");
  ASSERT_TRUE(client->wait_for_service(5s));

  auto forgotten = client->async_send_request(make_request(1, 1));
  EXPECT_TRUE(client->remove_pending_request(forgotten.request_id));
  EXPECT_FALSE(client->remove_pending_request(forgotten.request_id));
  const auto request = make_request(2, 3);
  auto kept = client->async_send_request(request);
  ASSERT_TRUE(wait_until([&] { return handler.served.load() == 2; }));
  EXPECT_EQ(std::future_status::timeout, kept.future.wait_for(20ms));

  ASSERT_EQ(
    rclcpp::FutureReturnCode::SUCCESS,
    rclcpp::spin_until_future_complete(node->get_node_base_interface(), kept.future, 5s));
  EXPECT_EQ(5, kept.future.get()->sum);
  EXPECT_EQ(2, request->a) << "the server must not change the caller's request";
  // As in Humble, removing a request abandons its promise: the future never gets the reply.
  EXPECT_THROW(forgotten.get(), std::future_error);

  client->async_send_request(make_request(0, 0));
  EXPECT_EQ(1u, client->prune_pending_requests());
}

TEST_F(ServiceClient, ServiceCallbackGetsAForwardedReplyThroughAnotherExecutorThread)
{
  // As the system's topic node, the client has a group of its own in the same executor.
  auto topic_node = std::make_shared<rclcpp::Node>("execute_engine_topic");
  // The node holds its groups weakly: the group must be kept.
  auto group = topic_node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto load_map = topic_node->create_client<AddTwoInts>(
    "/map_server/load_map", rmw_qos_profile_services_default, group);
  auto map_server = std::make_shared<rclcpp::Node>("map_server", "map_server");
  Handler map_handler;
  auto load_map_service = serve(map_server, "load_map", map_handler);
  auto main_node = std::make_shared<rclcpp::Node>("execute_engine_main_node");
  Handler robot_handler(load_map);
  auto execute_robot = serve(main_node, "execute_robot", robot_handler);

  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2, true);
  for (const auto & served_node : {main_node, topic_node, map_server}) {
    executor.add_node(served_node);
  }
  BackgroundSpin spin(executor);
  auto client = node->create_client<AddTwoInts>("execute_robot");
  ASSERT_TRUE(client->wait_for_service(5s));
  auto call = client->async_send_request(make_request(20, 22));
  EXPECT_EQ(
    rclcpp::FutureReturnCode::SUCCESS, rclcpp::spin_until_future_complete(node, call.future, 10s));
  EXPECT_EQ(84, call.future.get()->sum);
}

TEST_F(ServiceClient, EveryServerOfANameAnswersButTheClientTakesTheFirstReplyOnly)
{
  Handler handler;
  auto first = serve(node, "twice", handler);
  auto second = serve(node, "twice", handler);
  auto client = node->create_client<AddTwoInts>("twice");
  auto call = client->async_send_request(make_request(1, 2));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  for (int i = 0; i < 4; ++i) {
    executor.spin_some();
  }
  EXPECT_EQ(2, handler.served.load());
  ASSERT_EQ(std::future_status::ready, call.future.wait_for(0s));
  EXPECT_EQ(3, call.get()->sum);
}
