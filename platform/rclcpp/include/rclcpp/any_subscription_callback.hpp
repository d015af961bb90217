#ifndef RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
#define RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace rclcpp
{

/// A subscription callback in any of the accepted forms, called with a shared message.
/**
 * Accepted forms: std::shared_ptr<const MessageT> (shares the published message),
 * std::shared_ptr<MessageT>, const MessageT & and std::unique_ptr<MessageT> (the last three
 * get a copy of their own where they could change it).
 */
template <typename MessageT, typename AllocatorT = std::allocator<void>>
class AnySubscriptionCallback
{
public:
  using SharedConstMessage = std::shared_ptr<const MessageT>;

  template <typename CallbackT>
  AnySubscriptionCallback & set(CallbackT callback)
  {
    if constexpr (std::is_invocable_v<CallbackT &, SharedConstMessage>) {
      callback_ = std::move(callback);
    } else if constexpr (std::is_invocable_v<CallbackT &, std::shared_ptr<MessageT>>) {
      callback_ = [callback = std::move(callback)](SharedConstMessage message) mutable {
        callback(std::make_shared<MessageT>(*message));
      };
    } else if constexpr (std::is_invocable_v<CallbackT &, const MessageT &>) {
      callback_ = [callback = std::move(callback)](SharedConstMessage message) mutable {
        callback(*message);
      };
    } else {
      static_assert(
        std::is_invocable_v<CallbackT &, std::unique_ptr<MessageT>>,
        "Subscription callback must take std::shared_ptr<const MessageT>, "
        "std::shared_ptr<MessageT>, const MessageT & or std::unique_ptr<MessageT>");
      callback_ = [callback = std::move(callback)](SharedConstMessage message) mutable {
        callback(std::make_unique<MessageT>(*message));
      };
    }
    return *this;
  }

  void dispatch(SharedConstMessage message) { callback_(std::move(message)); }

private:
  std::function<void(SharedConstMessage)> callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
