#ifndef RCLCPP_FIXTURE_HPP_
#define RCLCPP_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "example_interfaces/msg/string.hpp"
#include "example_interfaces/srv/add_two_ints.hpp"
#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;
using example_interfaces::srv::AddTwoInts;
using Text = example_interfaces::msg::String;

/// Initialises the default context without a log file, which real Humble would leave behind.
inline void init_ros(rclcpp::SignalHandlerOptions signals = rclcpp::SignalHandlerOptions::None)
{
  rclcpp::init(0, nullptr, rclcpp::InitOptions().auto_initialize_logging(false), signals);
}

/// Polls `done` until it holds or `bound` has passed; whether it held.
inline bool wait_until(const std::function<bool()> & done, std::chrono::milliseconds bound = 5s)
{
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(100us);
  }
  return true;
}

/// The message of the std::runtime_error that `callable` throws, or "no error".
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

inline std::shared_ptr<AddTwoInts::Request> make_request(int64_t a, int64_t b)
{
  auto request = std::make_shared<AddTwoInts::Request>();
  request->a = a;
  request->b = b;
  return request;
}

/// Spins an executor on a thread of its own from once it spins until destruction.
class BackgroundSpin
{
public:
  explicit BackgroundSpin(rclcpp::Executor & executor)
  : executor_(executor), spin_(std::async(std::launch::async, [&executor] { executor.spin(); }))
  {
    wait_until([this] { return executor_.is_spinning() || ended(0ms); });
  }

  ~BackgroundSpin()
  {
    if (!ended(0ms)) {
      executor_.cancel();
    }
    spin_.wait();
  }

  /// Whether the spin has ended within `bound`.
  bool ended(std::chrono::milliseconds bound = 5s)
  {
    return spin_.wait_for(bound) == std::future_status::ready;
  }

private:
  rclcpp::Executor & executor_;
  std::future<void> spin_;
};

/// Brings the default context up for one test and down again afterwards: before the members
/// of a derived fixture are made and after they are gone, as nothing of ROS may outlive it.
class RclcppTest : public ::testing::Test
{
protected:
  RclcppTest() { init_ros(); }
  ~RclcppTest() override { rclcpp::shutdown(); }
};

#endif  // RCLCPP_FIXTURE_HPP_
