#ifndef RCLCPP__EXECUTOR_HPP_
#define RCLCPP__EXECUTOR_HPP_

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "rclcpp/any_executable.hpp"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/executor_options.hpp"
#include "rclcpp/future_return_code.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{

class Node;

namespace detail
{
class WakeSignal;
}  // namespace detail

/// Runs the callbacks of the callback groups it holds.
/**
 * A group belongs to at most one executor; adding a node (add_node) brings the node's groups
 * made with automatic adding, and groups the node makes later join when the executor next
 * collects its work. Groups another executor holds are skipped. Nothing is delivered to an
 * entity unless an executor holding its group spins. Shutdown of the executor's context and
 * cancel() end every spin.
 */
class Executor
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Executor)

  explicit Executor(const rclcpp::ExecutorOptions & options = rclcpp::ExecutorOptions());

  /// Releases every group and node it holds.
  virtual ~Executor();

  Executor(const Executor &) = delete;
  Executor & operator=(const Executor &) = delete;

  /// Run callbacks until the context shuts down or cancel() is called.
  virtual void spin() = 0;

  /// Hold `group_ptr` of node `node_ptr`.
  /** Throws std::runtime_error "Callback group has already been added to an executor." */
  virtual void add_callback_group(
    rclcpp::CallbackGroup::SharedPtr group_ptr,
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);

  virtual std::vector<rclcpp::CallbackGroup::WeakPtr> get_all_callback_groups();
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr> get_manually_added_callback_groups();
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr>
  get_automatically_added_callback_groups_from_nodes();

  /// Release a group added with add_callback_group.
  /** Throws std::runtime_error when this executor does not hold it that way. A group released
   *  (here or by remove_node) while another group of its node stays here keeps its guard
   *  condition in every later wait, which throws RCLError once that group is destroyed. */
  virtual void remove_callback_group(
    rclcpp::CallbackGroup::SharedPtr group_ptr, bool notify = true);

  /// Hold the node and its automatically added groups.
  /** Throws std::runtime_error "Node '<fully qualified name>' has already been added to an
   *  executor." when an executor holds the node already. */
  virtual void add_node(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual void add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);

  /// Release the node and the groups that came with it.
  virtual void remove_node(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual void remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);

  /// Add the node, run the work ready now, remove the node.
  void spin_node_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node);
  void spin_node_some(std::shared_ptr<rclcpp::Node> node);

  /// Run the work that is ready now, each ready entity once, without waiting for more.
  /** Stops early once `max_duration` has passed; zero means no limit. */
  virtual void spin_some(std::chrono::nanoseconds max_duration = std::chrono::nanoseconds(0));

  /// Run the work that is ready, again and again until none is, without waiting for more.
  /** Stops early once `max_duration` has passed; zero means no limit. Throws
   *  std::invalid_argument for a negative `max_duration`. */
  virtual void spin_all(std::chrono::nanoseconds max_duration);

  /// Wait up to `timeout` (negative: without limit) for one unit of work and run it.
  virtual void spin_once(std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  /// Spin until the future completes (SUCCESS), the timeout passes (TIMEOUT) or the context
  /// shuts down or cancel() is called (INTERRUPTED). A negative timeout waits without limit.
  template <typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
  FutureReturnCode spin_until_future_complete(
    const FutureT & future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1))
  {
    std::future_status status = future.wait_for(std::chrono::seconds(0));
    if (status == std::future_status::ready) {
      return FutureReturnCode::SUCCESS;
    }

    auto end_time = std::chrono::steady_clock::now();
    const auto timeout_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    if (timeout_ns > std::chrono::nanoseconds::zero()) {
      end_time += timeout_ns;
    }
    std::chrono::nanoseconds timeout_left = timeout_ns;

    if (spinning.exchange(true)) {
      throw std::runtime_error("spin_until_future_complete() called while already spinning");
    }
    SpinningGuard guard(spinning);
    while (rclcpp::ok(this->context_) && spinning.load()) {
      spin_once_impl(timeout_left);

      status = future.wait_for(std::chrono::seconds(0));
      if (status == std::future_status::ready) {
        return FutureReturnCode::SUCCESS;
      }
      if (timeout_ns < std::chrono::nanoseconds::zero()) {
        continue;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= end_time) {
        return FutureReturnCode::TIMEOUT;
      }
      timeout_left = std::chrono::duration_cast<std::chrono::nanoseconds>(end_time - now);
    }
    return FutureReturnCode::INTERRUPTED;
  }

  /// End the current spin (on any thread) as soon as the running callback returns.
  void cancel();

  bool is_spinning();

protected:
  /// Clears the spinning flag when a spin ends, also by an exception.
  class SpinningGuard
  {
  public:
    explicit SpinningGuard(std::atomic_bool & flag) : flag_(flag) {}
    ~SpinningGuard() { flag_.store(false); }
    SpinningGuard(const SpinningGuard &) = delete;
    SpinningGuard & operator=(const SpinningGuard &) = delete;

  private:
    std::atomic_bool & flag_;
  };

  void spin_once_impl(std::chrono::nanoseconds timeout);

  void spin_some_impl(std::chrono::nanoseconds max_duration, bool exhaustive);

  /// Run the callback and release the group for the next callback.
  void execute_any_executable(AnyExecutable & any_exec);

  /// Wait until work is ready (or the timeout passes, or a wake-up comes) and note what is.
  void wait_for_work(std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  /// Take the next unit of noted work whose group may run now.
  bool get_next_ready_executable(AnyExecutable & any_executable);

  /// get_next_ready_executable, after waiting up to `timeout` when nothing is noted.
  bool get_next_executable(
    AnyExecutable & any_executable,
    std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  /// Wake a wait of this executor.
  void interrupt();

  std::atomic_bool spinning;
  std::shared_ptr<rclcpp::Context> context_;

private:
  using WeakGroupsToNodes = std::map<
    rclcpp::CallbackGroup::WeakPtr, rclcpp::node_interfaces::NodeBaseInterface::WeakPtr,
    std::owner_less<rclcpp::CallbackGroup::WeakPtr>>;

  struct ReadyEntity
  {
    rclcpp::Waitable::WeakPtr waitable;
    rclcpp::CallbackGroup::WeakPtr callback_group;
  };

  void add_callback_group_to_map(
    const rclcpp::CallbackGroup::SharedPtr & group_ptr,
    const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node_ptr,
    WeakGroupsToNodes & weak_groups_to_nodes, bool notify);

  void remove_callback_group_from_map(
    const rclcpp::CallbackGroup::SharedPtr & group_ptr, WeakGroupsToNodes & weak_groups_to_nodes,
    bool notify);

  /// Join the automatically added groups that the held nodes made since the last collection.
  void add_callback_groups_from_nodes_associated_to_executor();

  bool holds_group(const rclcpp::CallbackGroup::SharedPtr & group_ptr);

  /// Whether a group of the node is held here; the caller holds `mutex_`.
  bool holds_group_of(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node_ptr) const;

  /// Throws RCLError once a group in `orphaned_guard_groups_` is gone.
  void check_orphaned_guard_groups();

  /// The live groups this executor holds; groups their owners released are forgotten.
  std::vector<rclcpp::CallbackGroup::SharedPtr> held_groups();

  std::shared_ptr<detail::WakeSignal> wake_signal_;
  rclcpp::OnShutdownCallbackHandle shutdown_callback_handle_;

  std::mutex mutex_;
  WeakGroupsToNodes weak_groups_associated_with_executor_to_nodes_;
  WeakGroupsToNodes weak_groups_to_nodes_associated_with_executor_;
  std::vector<rclcpp::node_interfaces::NodeBaseInterface::WeakPtr> weak_nodes_;

  std::vector<ReadyEntity> ready_entities_;
  // Groups removed while their node still had another group here. As in the real executor,
  // their guard conditions stay in every later wait, which fails once such a group is gone.
  std::vector<rclcpp::CallbackGroup::WeakPtr> orphaned_guard_groups_;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_HPP_
