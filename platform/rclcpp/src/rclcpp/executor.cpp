#include "rclcpp/executor.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "rclcpp/detail/wake_signal.hpp"
#include "rclcpp/exceptions/exceptions.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/timer.hpp"

namespace rclcpp
{

namespace
{

using NodeBaseInterface = rclcpp::node_interfaces::NodeBaseInterface;

std::function<void(size_t)> wake_on_trigger(const std::shared_ptr<detail::WakeSignal> & signal)
{
  std::weak_ptr<detail::WakeSignal> weak_signal = signal;
  return [weak_signal](size_t) {
    if (auto signal = weak_signal.lock()) {
      signal->trigger();
    }
  };
}

/// Lets the next callback of a group run once the current one is done, even if it throws.
class GroupRelease
{
public:
  explicit GroupRelease(rclcpp::CallbackGroup * group) : group_(group) {}
  ~GroupRelease()
  {
    if (group_) {
      group_->can_be_taken_from().store(true);
    }
  }
  GroupRelease(const GroupRelease &) = delete;
  GroupRelease & operator=(const GroupRelease &) = delete;

private:
  rclcpp::CallbackGroup * group_;
};

}  // namespace

Executor::Executor(const rclcpp::ExecutorOptions & options)
: spinning(false), context_(options.context), wake_signal_(std::make_shared<detail::WakeSignal>())
{
  std::weak_ptr<detail::WakeSignal> weak_signal = wake_signal_;
  shutdown_callback_handle_ = context_->add_on_shutdown_callback([weak_signal]() {
    if (auto signal = weak_signal.lock()) {
      signal->trigger();
    }
  });
}

Executor::~Executor()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto * map :
         {&weak_groups_associated_with_executor_to_nodes_,
          &weak_groups_to_nodes_associated_with_executor_}) {
      for (const auto & [weak_group, weak_node] : *map) {
        if (auto group = weak_group.lock()) {
          group->get_notify_guard_condition(context_)->set_on_trigger_callback(nullptr);
          group->get_associated_with_executor_atomic().store(false);
        }
      }
      map->clear();
    }
    for (const auto & weak_node : weak_nodes_) {
      if (auto node = weak_node.lock()) {
        node->get_notify_guard_condition().set_on_trigger_callback(nullptr);
        node->get_associated_with_executor_atomic().store(false);
      }
    }
    weak_nodes_.clear();
  }
  context_->remove_on_shutdown_callback(shutdown_callback_handle_);
}

void Executor::add_callback_group(
  rclcpp::CallbackGroup::SharedPtr group_ptr, NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (group_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error("Callback group has already been added to an executor.");
  }
  add_callback_group_to_map(
    group_ptr, node_ptr, weak_groups_associated_with_executor_to_nodes_, notify);
}

void Executor::add_callback_group_to_map(
  const rclcpp::CallbackGroup::SharedPtr & group_ptr, const NodeBaseInterface::SharedPtr & node_ptr,
  WeakGroupsToNodes & weak_groups_to_nodes, bool notify)
{
  weak_groups_to_nodes.emplace(group_ptr, node_ptr);
  group_ptr->get_notify_guard_condition(node_ptr->get_context())
    ->set_on_trigger_callback(wake_on_trigger(wake_signal_));
  if (notify) {
    interrupt();
  }
}

std::vector<rclcpp::CallbackGroup::WeakPtr> Executor::get_all_callback_groups()
{
  auto groups = get_manually_added_callback_groups();
  auto from_nodes = get_automatically_added_callback_groups_from_nodes();
  groups.insert(groups.end(), from_nodes.begin(), from_nodes.end());
  return groups;
}

std::vector<rclcpp::CallbackGroup::WeakPtr> Executor::get_manually_added_callback_groups()
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rclcpp::CallbackGroup::WeakPtr> groups;
  for (const auto & entry : weak_groups_associated_with_executor_to_nodes_) {
    groups.push_back(entry.first);
  }
  return groups;
}

std::vector<rclcpp::CallbackGroup::WeakPtr>
Executor::get_automatically_added_callback_groups_from_nodes()
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rclcpp::CallbackGroup::WeakPtr> groups;
  for (const auto & entry : weak_groups_to_nodes_associated_with_executor_) {
    groups.push_back(entry.first);
  }
  return groups;
}

void Executor::remove_callback_group(rclcpp::CallbackGroup::SharedPtr group_ptr, bool notify)
{
  std::lock_guard<std::mutex> lock(mutex_);
  remove_callback_group_from_map(group_ptr, weak_groups_associated_with_executor_to_nodes_, notify);
}

void Executor::remove_callback_group_from_map(
  const rclcpp::CallbackGroup::SharedPtr & group_ptr, WeakGroupsToNodes & weak_groups_to_nodes,
  bool notify)
{
  auto it = weak_groups_to_nodes.find(group_ptr);
  if (it == weak_groups_to_nodes.end()) {
    throw std::runtime_error("Callback group needs to be associated with executor.");
  }
  if (it->second.expired()) {
    throw std::runtime_error("Node must not be deleted before its callback group(s).");
  }
  const auto node_ptr = it->second.lock();
  weak_groups_to_nodes.erase(it);
  if (holds_group_of(node_ptr)) {
    orphaned_guard_groups_.push_back(group_ptr);
  }
  group_ptr->get_notify_guard_condition(context_)->set_on_trigger_callback(nullptr);
  group_ptr->get_associated_with_executor_atomic().store(false);
  if (notify) {
    interrupt();
  }
}

void Executor::add_node(NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  if (node_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error(
      std::string("Node '") + node_ptr->get_fully_qualified_name() +
      "' has already been added to an executor.");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  node_ptr->for_each_callback_group(
    [this, &node_ptr, notify](const rclcpp::CallbackGroup::SharedPtr & group_ptr) {
      // A group that another executor holds is left there.
      if (
        group_ptr->automatically_add_to_executor_with_node() &&
        !group_ptr->get_associated_with_executor_atomic().exchange(true)) {
        add_callback_group_to_map(
          group_ptr, node_ptr, weak_groups_to_nodes_associated_with_executor_, notify);
      }
    });
  weak_nodes_.push_back(node_ptr);
  node_ptr->get_notify_guard_condition().set_on_trigger_callback(wake_on_trigger(wake_signal_));
}

void Executor::add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify)
{
  add_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::remove_node(NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  if (!node_ptr->get_associated_with_executor_atomic().load()) {
    throw std::runtime_error("Node needs to be associated with an executor.");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto node_it = std::find_if(
    weak_nodes_.begin(), weak_nodes_.end(),
    [&node_ptr](const NodeBaseInterface::WeakPtr & weak) { return weak.lock() == node_ptr; });
  if (node_it == weak_nodes_.end()) {
    throw std::runtime_error("Node needs to be associated with this executor.");
  }
  weak_nodes_.erase(node_it);
  for (auto it = weak_groups_to_nodes_associated_with_executor_.begin();
       it != weak_groups_to_nodes_associated_with_executor_.end();) {
    auto group = it->first.lock();
    auto node = it->second.lock();
    ++it;
    if (group && node == node_ptr) {
      remove_callback_group_from_map(group, weak_groups_to_nodes_associated_with_executor_, false);
    }
  }
  node_ptr->get_notify_guard_condition().set_on_trigger_callback(nullptr);
  node_ptr->get_associated_with_executor_atomic().store(false);
  if (notify) {
    interrupt();
  }
}

void Executor::remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify)
{
  remove_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::spin_node_some(NodeBaseInterface::SharedPtr node)
{
  add_node(node, false);
  spin_some();
  remove_node(node, false);
}

void Executor::spin_node_some(std::shared_ptr<rclcpp::Node> node)
{
  spin_node_some(node->get_node_base_interface());
}

void Executor::spin_some(std::chrono::nanoseconds max_duration)
{
  spin_some_impl(max_duration, false);
}

void Executor::spin_all(std::chrono::nanoseconds max_duration)
{
  if (max_duration < std::chrono::nanoseconds::zero()) {
    throw std::invalid_argument("max_duration must be greater than or equal to 0");
  }
  spin_some_impl(max_duration, true);
}

void Executor::spin_some_impl(std::chrono::nanoseconds max_duration, bool exhaustive)
{
  const auto start = std::chrono::steady_clock::now();
  auto max_duration_not_elapsed = [max_duration, start]() {
    return max_duration == std::chrono::nanoseconds::zero() ||
           std::chrono::steady_clock::now() - start < max_duration;
  };

  if (spinning.exchange(true)) {
    throw std::runtime_error("spin_some() called while already spinning");
  }
  SpinningGuard guard(spinning);
  bool work_available = false;
  while (rclcpp::ok(context_) && spinning.load() && max_duration_not_elapsed()) {
    AnyExecutable any_exec;
    if (!work_available) {
      wait_for_work(std::chrono::milliseconds::zero());
    }
    if (get_next_ready_executable(any_exec)) {
      execute_any_executable(any_exec);
      work_available = true;
    } else {
      if (!work_available || !exhaustive) {
        break;
      }
      work_available = false;
    }
  }
}

void Executor::spin_once(std::chrono::nanoseconds timeout)
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin_once() called while already spinning");
  }
  SpinningGuard guard(spinning);
  spin_once_impl(timeout);
}

void Executor::spin_once_impl(std::chrono::nanoseconds timeout)
{
  AnyExecutable any_exec;
  if (get_next_executable(any_exec, timeout)) {
    execute_any_executable(any_exec);
  }
}

void Executor::cancel()
{
  spinning.store(false);
  interrupt();
}

bool Executor::is_spinning() { return spinning.load(); }

void Executor::interrupt() { wake_signal_->trigger(); }

void Executor::execute_any_executable(AnyExecutable & any_exec)
{
  {
    GroupRelease release(any_exec.callback_group.get());
    any_exec.waitable->execute(any_exec.data);
  }
  // Work of the group that was held back meanwhile can run now.
  interrupt();
}

void Executor::add_callback_groups_from_nodes_associated_to_executor()
{
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto & weak_node : weak_nodes_) {
    auto node = weak_node.lock();
    if (!node) {
      continue;
    }
    node->for_each_callback_group(
      [this, &node](const rclcpp::CallbackGroup::SharedPtr & group_ptr) {
        if (
          group_ptr->automatically_add_to_executor_with_node() &&
          !group_ptr->get_associated_with_executor_atomic().exchange(true)) {
          add_callback_group_to_map(
            group_ptr, node, weak_groups_to_nodes_associated_with_executor_, false);
        }
      });
  }
}

std::vector<rclcpp::CallbackGroup::SharedPtr> Executor::held_groups()
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rclcpp::CallbackGroup::SharedPtr> groups;
  for (auto * map :
       {&weak_groups_associated_with_executor_to_nodes_,
        &weak_groups_to_nodes_associated_with_executor_}) {
    for (auto it = map->begin(); it != map->end();) {
      if (auto group = it->first.lock()) {
        groups.push_back(std::move(group));
        ++it;
      } else {
        // The group's owner released it; forget it.
        it = map->erase(it);
      }
    }
  }
  return groups;
}

bool Executor::holds_group_of(const NodeBaseInterface::SharedPtr & node_ptr) const
{
  for (const auto * map :
       {&weak_groups_associated_with_executor_to_nodes_,
        &weak_groups_to_nodes_associated_with_executor_}) {
    for (const auto & entry : *map) {
      if (entry.second.lock() == node_ptr) {
        return true;
      }
    }
  }
  return false;
}

void Executor::check_orphaned_guard_groups()
{
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto & group : orphaned_guard_groups_) {
    if (group.expired()) {
      throw rclcpp::exceptions::RCLError("failed to add guard condition to wait set");
    }
  }
}

bool Executor::holds_group(const rclcpp::CallbackGroup::SharedPtr & group_ptr)
{
  std::lock_guard<std::mutex> lock(mutex_);
  return weak_groups_associated_with_executor_to_nodes_.count(group_ptr) != 0 ||
         weak_groups_to_nodes_associated_with_executor_.count(group_ptr) != 0;
}

void Executor::wait_for_work(std::chrono::nanoseconds timeout)
{
  const auto deadline = timeout < std::chrono::nanoseconds::zero()
                          ? std::chrono::steady_clock::time_point::max()
                          : std::chrono::steady_clock::now() + timeout;

  // Notes the ready entities of groups that may run now; returns when the next timer is due.
  auto collect_ready = [this]() {
    ready_entities_.clear();
    auto next_timer_call = std::chrono::steady_clock::time_point::max();
    for (const auto & group : held_groups()) {
      if (
        group->type() == rclcpp::CallbackGroupType::MutuallyExclusive &&
        !group->can_be_taken_from().load()) {
        continue;
      }
      group->collect_all_ptrs(
        [this, &group](const rclcpp::Waitable::SharedPtr & waitable) {
          if (waitable->is_ready()) {
            ready_entities_.push_back(ReadyEntity{waitable, group});
          }
        },
        [this, &group, &next_timer_call](const std::shared_ptr<rclcpp::TimerBase> & timer) {
          if (timer->is_ready()) {
            ready_entities_.push_back(ReadyEntity{timer, group});
          } else {
            next_timer_call = std::min(next_timer_call, timer->next_call_time());
          }
        });
    }
    return next_timer_call;
  };

  check_orphaned_guard_groups();
  // A trigger from before this wait (cancel, a guard condition) is kept until a wait sees it,
  // like a triggered guard condition: a wait that has to sleep then returns at once, one that
  // finds work ready or does not sleep takes it.
  add_callback_groups_from_nodes_associated_to_executor();
  const auto next_timer_call = collect_ready();
  if (!ready_entities_.empty() || timeout == std::chrono::nanoseconds::zero()) {
    wake_signal_->reset();
    return;
  }
  if (!rclcpp::ok(context_) || !spinning.load()) {
    return;
  }
  wake_signal_->wait_until(std::min(deadline, next_timer_call));
  add_callback_groups_from_nodes_associated_to_executor();
  collect_ready();
}

bool Executor::get_next_ready_executable(AnyExecutable & any_executable)
{
  for (auto it = ready_entities_.begin(); it != ready_entities_.end();) {
    auto waitable = it->waitable.lock();
    auto group = it->callback_group.lock();
    if (!waitable || !group || !holds_group(group)) {
      it = ready_entities_.erase(it);
      continue;
    }
    const bool exclusive = group->type() == rclcpp::CallbackGroupType::MutuallyExclusive;
    if (exclusive && !group->can_be_taken_from().load()) {
      ++it;
      continue;
    }
    it = ready_entities_.erase(it);
    auto data = waitable->take_data();
    if (!data) {
      continue;
    }
    if (exclusive) {
      group->can_be_taken_from().store(false);
    }
    any_executable.waitable = std::move(waitable);
    any_executable.callback_group = std::move(group);
    any_executable.data = std::move(data);
    return true;
  }
  return false;
}

bool Executor::get_next_executable(AnyExecutable & any_executable, std::chrono::nanoseconds timeout)
{
  if (get_next_ready_executable(any_executable)) {
    return true;
  }
  wait_for_work(timeout);
  if (!spinning.load()) {
    return false;
  }
  return get_next_ready_executable(any_executable);
}

}  // namespace rclcpp
