#include "behaviortree_cpp_v3/utils/callback_timer.h"

namespace BT
{
CallbackTimer::~CallbackTimer()
{
  {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    pending_.clear();
  }
  changed_.notify_all();
  if (worker_.joinable()) {
    worker_.join();
  }
}

uint64_t CallbackTimer::add(std::chrono::milliseconds delay, Callback callback)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!worker_.joinable()) {
    worker_ = std::thread([this] { run(); });
  }
  const uint64_t id = next_id_++;
  pending_.emplace(Clock::now() + delay, Timer{id, std::move(callback)});
  changed_.notify_all();
  return id;
}

void CallbackTimer::cancel(uint64_t id)
{
  std::unique_lock<std::mutex> lock(mutex_);
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->second.id == id) {
      pending_.erase(it);
      return;
    }
  }
  waitWhileRunning(lock, id);
}

void CallbackTimer::cancelAll()
{
  std::unique_lock<std::mutex> lock(mutex_);
  pending_.clear();
  if (running_id_ != 0) {
    waitWhileRunning(lock, running_id_);
  }
}

void CallbackTimer::waitWhileRunning(std::unique_lock<std::mutex> & lock, uint64_t id)
{
  // A callback that cancels its own timer must not wait for itself.
  if (std::this_thread::get_id() == worker_.get_id()) {
    return;
  }
  changed_.wait(lock, [this, id] { return running_id_ != id; });
}

void CallbackTimer::run()
{
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (pending_.empty()) {
      changed_.wait(lock);
      continue;
    }
    // A copy: the timer may be cancelled, and its entry freed, while the worker waits.
    const Clock::time_point deadline = pending_.begin()->first;
    if (Clock::now() < deadline) {
      changed_.wait_until(lock, deadline);
      continue;
    }
    Timer due = std::move(pending_.begin()->second);
    pending_.erase(pending_.begin());
    running_id_ = due.id;
    lock.unlock();
    due.callback();
    lock.lock();
    running_id_ = 0;
    changed_.notify_all();
  }
}

}  // namespace BT
