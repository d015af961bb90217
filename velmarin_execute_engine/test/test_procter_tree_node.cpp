// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "execute_engine/procter_tree_node.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "sync_node_fixture.hpp"

namespace
{

using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;
using BT::NodeStatus;
using sync_node_test::TickOutcome;

constexpr int kProcterWork = 201;
const TickOutcome kSucceeded{NodeStatus::FAILURE, 1, 0, 0};

class ProcterTreeNodeTest : public sync_node_test::SyncNodeTest
{
protected:
  void SetUp() override
  {
    SyncNodeTest::SetUp();
    controller_ = std::make_unique<execute_engine_test_support::SimulatedDeviceController>(*peers_);
  }

  void TearDown() override
  {
    controller_.reset();
    SyncNodeTest::TearDown();
  }

  // Ticks `request`, expecting `expected`, and returns what the tick printed.
  std::string TickPrinted(
    std::shared_ptr<Request> request, TickOutcome expected, int32_t error_code_before = 0)
  {
    testing::internal::CaptureStdout();
    EXPECT_EQ(Tick(procter_, request, error_code_before), expected);
    return testing::internal::GetCapturedStdout();
  }

  std::unique_ptr<execute_engine_test_support::SimulatedDeviceController> controller_;
  execute_engine::ProcterTreeNode procter_{"Procter", BT::NodeConfiguration()};
};

TEST_F(ProcterTreeNodeTest, ReturnsFailureWhateverTheHandlerDid)
{
  const std::vector<std::string> stubs{"Cancel", "Pause", "Done", "Preempt"};
  for (int cmd = 4; cmd <= 7; ++cmd) {
    EXPECT_EQ(Tick(procter_, cmd), kSucceeded) << cmd;
    EXPECT_EQ(log_->Count("ProcterTreeNode::" + stubs[cmd - 4]), 1u) << cmd;
  }
  // A command of the sweeping model that this node does not handle.
  EXPECT_EQ(Tick(procter_, 202), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0}));
  EXPECT_EQ(log_->Count("miss cmd:202"), 1u);
  EXPECT_TRUE(controller_->Requests().empty());
}

TEST_F(ProcterTreeNodeTest, AllZeroSettingsAnswerSuccessThroughTheEngine)
{
  InitTree("<Procter/>");
  testing::internal::CaptureStdout();
  const Sent sent = Send(3, kProcterWork);
  EXPECT_EQ(
    testing::internal::GetCapturedStdout(),
    "ProcterTreeNode ProcterWork\nside_swp.cmd : 0\nside_swp.duty : 0\nmain_swp.cmd : 0\n"
    "main_swp.duty : 0\nswp_lift.cmd : 0\nsqueegee_fan.cmd : 0\nsqueegee_fan.duty : 0\n"
    "squeegee_lift.cmd : 0\nroll_mop.cmd : 0\nroll_mop.duty : 0\nmop_pump.cmd : 0\n"
    "mop_pump.duty : 0\nmop_lift.cmd : 0\n");
  EXPECT_EQ(controller_->Requests(), std::vector<BottomInteract::Request>(1));
  EXPECT_EQ(sent.response->result, 0);
  EXPECT_EQ(sent.response->message, "Success");
}

TEST_F(ProcterTreeNodeTest, TheWholeDevicesBlockReachesTheController)
{
  // Every field distinct and negative, so that a field printed or sent as another shows.
  auto request = MakeRequest(kProcterWork);
  auto & d = request->devices;
  int32_t value = 0;
  for (int32_t * field :
       {&d.aux_value,          &d.main_swp.cmd,     &d.main_swp.duty,     &d.side_swp.cmd,
        &d.side_swp.duty,      &d.swp_lift.cmd,     &d.swp_lift.duty,     &d.roll_mop.cmd,
        &d.roll_mop.duty,      &d.mop_pump.cmd,     &d.mop_pump.duty,     &d.mop_lift.cmd,
        &d.mop_lift.duty,      &d.squeegee_fan.cmd, &d.squeegee_fan.duty, &d.squeegee_lift.cmd,
        &d.squeegee_lift.duty, &d.aux_pair.first,   &d.aux_pair.second,   &d.aux_single.value,
        &d.aux_device.cmd,     &d.aux_device.duty}) {
    *field = --value;
  }
  EXPECT_EQ(
    TickPrinted(request, kSucceeded),
    "ProcterTreeNode ProcterWork\nside_swp.cmd : -4\nside_swp.duty : -5\nmain_swp.cmd : -2\n"
    "main_swp.duty : -3\nswp_lift.cmd : -6\nsqueegee_fan.cmd : -14\nsqueegee_fan.duty : -15\n"
    "squeegee_lift.cmd : -16\nroll_mop.cmd : -8\nroll_mop.duty : -9\nmop_pump.cmd : -10\n"
    "mop_pump.duty : -11\nmop_lift.cmd : -12\n");
  BottomInteract::Request expected;
  expected.devices = request->devices;
  EXPECT_EQ(controller_->Requests(), std::vector<BottomInteract::Request>{expected});
}

TEST_F(ProcterTreeNodeTest, RefusedSettingsFailAndKeepTheFirstErrorCode)
{
  controller_->SetErrorCode(42);
  TickPrinted(MakeRequest(kProcterWork), TickOutcome{NodeStatus::FAILURE, 0, 1, 42});
  EXPECT_EQ(log_->Count("execute procter fail"), 1u);

  // An earlier step of the same request already reported a code.
  TickPrinted(MakeRequest(kProcterWork), TickOutcome{NodeStatus::FAILURE, 0, 1, 7}, 7);
  EXPECT_EQ(log_->Count("execute procter fail"), 1u);
}

TEST_F(ProcterTreeNodeTest, AbsentControllerFailsWithoutAnErrorCode)
{
  controller_.reset();
  TickPrinted(MakeRequest(kProcterWork), TickOutcome{NodeStatus::FAILURE, 0, 1, 0});
  EXPECT_EQ(log_->Count(" server:bottom_operate not exist"), 1u);
  EXPECT_EQ(log_->Count("Issue procter operate failed"), 1u);
}

}  // namespace
