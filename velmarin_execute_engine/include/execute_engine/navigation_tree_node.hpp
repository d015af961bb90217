// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#ifndef EXECUTE_ENGINE__NAVIGATION_TREE_NODE_HPP_
#define EXECUTE_ENGINE__NAVIGATION_TREE_NODE_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "execute_engine/cmd_handler_table.hpp"
#include "execute_engine/ros2_action_node.hpp"
#include "velmarin_protocol/action/planner.hpp"

namespace execute_engine
{

// "Navigation": turns the navigation commands of the current request into Planner goals and
// publishes each goal's outcome on "reachdestpose". Handles 101 (move), 102 (work), 5 (pause),
// 403 (recovery), 6 and 7; a running goal is cancelled by 4 and 8 without reaching the table.
// A goal filled by a handler counts one success, a goal a handler refuses one failure; a
// command without a handler is refused without counting.
class NavigationTreeNode : public Ros2ActionNode<velmarin_protocol::action::Planner>
{
public:
  NavigationTreeNode(
    const std::string & name, const BT::NodeConfiguration & config, const Ros2Params & params);
  ~NavigationTreeNode() override;

  // Runs the handler of the current command on `goal` and counts its result.
  bool fillGoal(Goal & goal) override;

  // Publishes the result's index, state and errnum on "reachdestpose" (-1, 0, 0 for a result
  // without a message, FAILURE then) and returns SUCCESS, whatever the result code. FAILURE,
  // with nothing published, when the engine's node is not the topic node.
  BT::NodeStatus onResultReceived(const WrappedResult & result) override;

  // A move (101) or work (102) goal that ends without a result (not sent, refused, not
  // answered in time, cancelled or halted first) is published on "reachdestpose" as index -1,
  // state false, errnum 0, so that every such goal has exactly one outcome there.
  void onGoalLost(int32_t cmd) override;

  // Feedback never ends a navigation goal.
  BT::NodeStatus onFeedback(std::shared_ptr<const Feedback> feedback) override;

  // Command 4 reaching a goal start: there is no goal to cancel then, so it is refused (a goal
  // sent now would start the planner with an empty route). Cancels the goal when one is held.
  bool Cancel(Goal & goal);
  // Command 5: control 1.
  bool Pause(Goal & goal);
  // Commands 6 and 7: the goal goes out as constructed.
  bool OnCmd6(Goal & goal);
  bool OnCmd7(Goal & goal);
  // Command 101: the request's route (an empty route is sent as such), task type 2 and the
  // request's nav_control. Refused when a point's heading is not a number.
  bool Move(Goal & goal);
  // Command 102: as Move with task type 1, refused also for an empty route.
  bool Work(Goal & goal);
  // Command 403: control 2.
  bool Recovery(Goal & goal);

  // Fills `goal.poses` from the request's navigation points: frame "map", stamp 0, the point's
  // position and its yaw (wrapped by whole turns) as orientation. False for an empty route, and
  // for a point whose heading gives no orientation (NaN or infinite yaw), which stops the
  // filling there.
  bool CalculateGoal(Goal & goal);

private:
  // Publishes on "reachdestpose" through the engine's node; false, with nothing published,
  // when that node is not the topic node.
  bool PublishReachDestPose(int32_t index, uint8_t state, int32_t errnum);

  CmdHandlerTable<Goal &> cmd_handlers_;
};

}  // namespace execute_engine

#endif  // EXECUTE_ENGINE__NAVIGATION_TREE_NODE_HPP_
