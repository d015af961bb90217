// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.hpp"
#include "execute_engine/procter_tree_node.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"

namespace
{

using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;
using BT::NodeStatus;
using engine_test::TickOutcome;

constexpr int kProcterWork = 201;
const TickOutcome kSucceeded{NodeStatus::FAILURE, 1, 0, 0};

class ProcterTreeNodeTest : public engine_test::NodeTest
{
protected:
  void SetUp() override
  {
    NodeTest::SetUp();
    controller_ = std::make_unique<execute_engine_test_support::SimulatedDeviceController>(*peers_);
  }

  void TearDown() override
  {
    controller_.reset();
    NodeTest::TearDown();
  }

  // Ticks a device request, expecting `expected`, and returns what the tick printed.
  std::string TickPrinted(TickOutcome expected, int32_t error_code_before = 0)
  {
    testing::internal::CaptureStdout();
    EXPECT_EQ(Outcome(procter_, Command(kProcterWork), error_code_before), expected);
    return testing::internal::GetCapturedStdout();
  }

  std::unique_ptr<execute_engine_test_support::SimulatedDeviceController> controller_;
  execute_engine::ProcterTreeNode procter_{"Procter", BT::NodeConfiguration()};
};

TEST_F(ProcterTreeNodeTest, ReturnsFailureWhateverTheHandlerDid)
{
  for (int cmd = 4; cmd <= 7; ++cmd) {
    EXPECT_EQ(Outcome(procter_, cmd), kSucceeded) << cmd;
  }
  // A command of the sweeping model that this node does not handle.
  EXPECT_EQ(Outcome(procter_, 202), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0}));
  EXPECT_EQ(log_->Count("miss cmd:202"), 1u);
  EXPECT_TRUE(controller_->Requests().empty());
}

TEST_F(ProcterTreeNodeTest, TheWholeDevicesBlockIsPrintedAndSentToTheController)
{
  // Every field distinct and negative, so that a field printed or sent as another shows.
  auto request = Command(kProcterWork);
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
  testing::internal::CaptureStdout();
  EXPECT_EQ(Outcome(procter_, request), kSucceeded);
  EXPECT_EQ(
    testing::internal::GetCapturedStdout(),
    "ProcterTreeNode ProcterWork\nside_swp.cmd : -4\nside_swp.duty : -5\nmain_swp.cmd : -2\n"
    "main_swp.duty : -3\nswp_lift.cmd : -6\nsqueegee_fan.cmd : -14\nsqueegee_fan.duty : -15\n"
    "squeegee_lift.cmd : -16\nroll_mop.cmd : -8\nroll_mop.duty : -9\nmop_pump.cmd : -10\n"
    "mop_pump.duty : -11\nmop_lift.cmd : -12\n");
  BottomInteract::Request expected;
  expected.devices = request->devices;
  EXPECT_EQ(controller_->Requests(), std::vector<BottomInteract::Request>{expected});
}

TEST_F(ProcterTreeNodeTest, RefusedOrUnservedSettingsFailKeepingTheFirstErrorCode)
{
  controller_->SetErrorCode(42);
  TickPrinted(TickOutcome{NodeStatus::FAILURE, 0, 1, 42});
  EXPECT_EQ(log_->Count("execute procter fail"), 1u);
  // An earlier step of the same request already reported a code.
  TickPrinted(TickOutcome{NodeStatus::FAILURE, 0, 1, 7}, 7);

  controller_.reset();
  ASSERT_TRUE(execute_engine_test_support::WaitUntilServiceGone<BottomInteract>(
    node_, "bottom_operate", std::chrono::seconds(10)));
  TickPrinted(TickOutcome{NodeStatus::FAILURE, 0, 1, 0});
  EXPECT_EQ(log_->Count(" server:bottom_operate not exist"), 1u);
  EXPECT_EQ(log_->Count("Issue procter operate failed"), 1u);
}

}  // namespace
