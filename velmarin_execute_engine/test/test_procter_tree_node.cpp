// Copyright 2026 Velmarin developers
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "execute_engine/procter_tree_node.hpp"
#include "execute_engine_test_support/simulated_device_controller.hpp"
#include "sync_node_fixture.hpp"
#include "velmarin_protocol/srv/bottom_interact_srv.hpp"

namespace
{

using BottomInteract = velmarin_protocol::srv::BottomInteractSrv;
using BT::NodeStatus;
using execute_engine::ProcterTreeNode;
using execute_engine_test_support::SimulatedDeviceController;
using sync_node_test::TickOutcome;

constexpr int kProcterWork = 201;

// Every field a distinct value, negative ones included, so that a field copied from or printed
// as another shows.
velmarin_protocol::msg::ProcterDevices DistinctDevices()
{
  velmarin_protocol::msg::ProcterDevices devices;
  devices.aux_value = 101;
  devices.main_swp.cmd = 1;
  devices.main_swp.duty = 2;
  devices.side_swp.cmd = -1;
  devices.side_swp.duty = 4;
  devices.swp_lift.cmd = 5;
  devices.swp_lift.duty = 6;
  devices.roll_mop.cmd = 7;
  devices.roll_mop.duty = 8;
  devices.mop_pump.cmd = 9;
  devices.mop_pump.duty = 10;
  devices.mop_lift.cmd = 11;
  devices.mop_lift.duty = 12;
  devices.squeegee_fan.cmd = 13;
  devices.squeegee_fan.duty = -14;
  devices.squeegee_lift.cmd = 15;
  devices.squeegee_lift.duty = 16;
  devices.aux_pair.first = 102;
  devices.aux_pair.second = 103;
  devices.aux_single.value = 104;
  devices.aux_device.cmd = 105;
  devices.aux_device.duty = 106;
  return devices;
}

class ProcterTreeNodeTest : public sync_node_test::SyncNodeTest
{
protected:
  void SetUp() override
  {
    SyncNodeTest::SetUp();
    controller_ = std::make_unique<SimulatedDeviceController>(*peers_);
    procter_ = std::make_unique<ProcterTreeNode>("Procter", BT::NodeConfiguration());
  }

  void TearDown() override
  {
    controller_.reset();
    SyncNodeTest::TearDown();
  }

  std::unique_ptr<SimulatedDeviceController> controller_;
  std::unique_ptr<ProcterTreeNode> procter_;
};

TEST_F(ProcterTreeNodeTest, ReturnsFailureWhateverTheHandlerDid)
{
  struct Stub
  {
    int cmd;
    const char * log_line;
  };
  for (const Stub & stub :
       {Stub{4, "ProcterTreeNode::Cancel"}, Stub{5, "ProcterTreeNode::Pause"},
        Stub{6, "ProcterTreeNode::Done"}, Stub{7, "ProcterTreeNode::Preempt"}}) {
    SCOPED_TRACE(stub.cmd);
    EXPECT_EQ(Tick(*procter_, stub.cmd), (TickOutcome{NodeStatus::FAILURE, 1, 0, 0}));
    EXPECT_EQ(log_->Count(stub.log_line), 1u);
  }

  // A command of the sweeping model that this node does not handle.
  EXPECT_EQ(Tick(*procter_, 202), (TickOutcome{NodeStatus::FAILURE, 0, 0, 0}));
  EXPECT_EQ(sources_->FunctionsOf("miss cmd:202"), std::vector<std::string>{"tick"});
  EXPECT_TRUE(controller_->Requests().empty());

  controller_->SetErrorCode(3);
  EXPECT_EQ(Tick(*procter_, kProcterWork), (TickOutcome{NodeStatus::FAILURE, 0, 1, 3}));
}

TEST_F(ProcterTreeNodeTest, AllZeroSettingsThroughTheEngine)
{
  InitTree("<Procter/>");
  testing::internal::CaptureStdout();
  const Sent sent = Send(3, kProcterWork);
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(
    printed,
    "ProcterTreeNode ProcterWork\n"
    "side_swp.cmd : 0\nside_swp.duty : 0\n"
    "main_swp.cmd : 0\nmain_swp.duty : 0\n"
    "swp_lift.cmd : 0\n"
    "squeegee_fan.cmd : 0\nsqueegee_fan.duty : 0\n"
    "squeegee_lift.cmd : 0\n"
    "roll_mop.cmd : 0\nroll_mop.duty : 0\n"
    "mop_pump.cmd : 0\nmop_pump.duty : 0\n"
    "mop_lift.cmd : 0\n");
  EXPECT_EQ(
    controller_->Requests(), std::vector<BottomInteract::Request>{BottomInteract::Request()});
  EXPECT_EQ(sent.response->result, 0);
  EXPECT_EQ(sent.response->message, "Success");
  EXPECT_EQ(sent.response->error_code, 0);
}

TEST_F(ProcterTreeNodeTest, TheWholeDevicesBlockReachesTheController)
{
  auto request = MakeRequest(kProcterWork);
  request->devices = DistinctDevices();
  testing::internal::CaptureStdout();
  EXPECT_EQ(Tick(*procter_, request), (TickOutcome{NodeStatus::FAILURE, 1, 0, 0}));
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(
    printed,
    "ProcterTreeNode ProcterWork\n"
    "side_swp.cmd : -1\nside_swp.duty : 4\n"
    "main_swp.cmd : 1\nmain_swp.duty : 2\n"
    "swp_lift.cmd : 5\n"
    "squeegee_fan.cmd : 13\nsqueegee_fan.duty : -14\n"
    "squeegee_lift.cmd : 15\n"
    "roll_mop.cmd : 7\nroll_mop.duty : 8\n"
    "mop_pump.cmd : 9\nmop_pump.duty : 10\n"
    "mop_lift.cmd : 11\n");
  BottomInteract::Request expected;
  expected.devices = DistinctDevices();
  EXPECT_EQ(controller_->Requests(), std::vector<BottomInteract::Request>{expected});
  EXPECT_EQ(log_->Count("ProcterTreeNode::ProcterWork"), 1u);
}

TEST_F(ProcterTreeNodeTest, RefusedSettingsKeepTheFirstErrorCode)
{
  controller_->SetErrorCode(42);
  EXPECT_EQ(Tick(*procter_, kProcterWork), (TickOutcome{NodeStatus::FAILURE, 0, 1, 42}));
  EXPECT_EQ(log_->Count("execute procter fail"), 1u);

  // An earlier step of the same request already reported a code.
  EXPECT_EQ(
    Tick(*procter_, MakeRequest(kProcterWork), 7), (TickOutcome{NodeStatus::FAILURE, 0, 1, 7}));
  EXPECT_EQ(log_->Count("execute procter fail"), 1u);

  InitTree("<Procter/>");
  testing::internal::CaptureStdout();
  const Sent sent = Send(3, kProcterWork);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(sent.response->result, 1);
  EXPECT_EQ(sent.response->message, "Failure");
  EXPECT_EQ(sent.response->error_code, 42);
}

TEST_F(ProcterTreeNodeTest, AbsentControllerFailsWithoutAnErrorCode)
{
  controller_.reset();
  testing::internal::CaptureStdout();
  EXPECT_EQ(Tick(*procter_, kProcterWork), (TickOutcome{NodeStatus::FAILURE, 0, 1, 0}));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(log_->Count(" server:bottom_operate not exist"), 1u);
  EXPECT_EQ(log_->Count("Issue procter operate failed"), 1u);
}

}  // namespace
