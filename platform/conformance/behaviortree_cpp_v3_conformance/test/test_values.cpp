#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/blackboard.h"

using BT::Any;
using BT::convertFromString;
using BT::NodeStatus;

TEST(ConvertFromString, ReadsNumbersAsStoiAndStodDoBoolsAndStatusesOnlyExactly)
{
  for (const auto & [text, expected] :
       {std::make_pair("-42", -42), std::make_pair("12abc", 12), std::make_pair(" 12", 12),
        std::make_pair("1.5", 1)}) {
    EXPECT_EQ(convertFromString<int>(text), expected) << text;
  }
  EXPECT_EQ(convertFromString<double>("2.5e-1"), 0.25);
  EXPECT_EQ(convertFromString<std::string>(" keep spaces "), " keep spaces ");
  for (const char * yes : {"1", "true", "True", "TRUE"}) {
    EXPECT_TRUE(convertFromString<bool>(yes)) << yes;
  }
  for (const char * no : {"0", "false", "False", "FALSE"}) {
    EXPECT_FALSE(convertFromString<bool>(no)) << no;
  }
  for (NodeStatus status :
       {NodeStatus::IDLE, NodeStatus::RUNNING, NodeStatus::SUCCESS, NodeStatus::FAILURE}) {
    EXPECT_EQ(convertFromString<NodeStatus>(BT::toStr(status)), status);
  }

  for (const char * text : {"", "abc"}) {
    EXPECT_THROW(convertFromString<int>(text), std::invalid_argument) << text;
  }
  EXPECT_THROW(convertFromString<int>("99999999999"), std::out_of_range);
  EXPECT_THROW(convertFromString<double>("fast"), std::invalid_argument);
  for (const char * bad : {"yes", "2", "true "}) {
    EXPECT_THROW(convertFromString<bool>(bad), BT::RuntimeError) << bad;
  }
  EXPECT_THROW(convertFromString<NodeStatus>("DONE"), BT::RuntimeError);
  struct Pose
  {
  };
  EXPECT_THROW(convertFromString<Pose>("1;2"), BT::LogicError);
}

TEST(AnyValue, ConvertsNumbersThatFitAndNeverParsesText)
{
  EXPECT_EQ(Any(3).cast<double>(), 3.0);
  EXPECT_EQ(Any(4.0).cast<int>(), 4);
  EXPECT_EQ(Any(2.5).cast<float>(), 2.5F);
  EXPECT_EQ(Any(12).cast<std::string>(), "12");
  EXPECT_EQ(Any(true).cast<int>(), 1);
  EXPECT_TRUE(Any(2).cast<bool>());
  EXPECT_FALSE(Any(0.0).cast<bool>());

  const struct
  {
    const char * what;
    std::function<void()> cast;
  } refused[] = {
    {"truncated real", [] { Any(4.5).cast<int>(); }},
    {"real that float rounds", [] { Any(0.1).cast<float>(); }},
    {"too large for the type", [] { Any(300).cast<uint8_t>(); }},
    {"negative to unsigned", [] { Any(-1).cast<unsigned>(); }},
    {"text to number", [] { Any(std::string("12")).cast<int>(); }},
    {"number to another type", [] { Any(1).cast<std::pair<int, int>>(); }},
    {"empty", [] { Any().cast<int>(); }},
  };
  for (const auto & row : refused) {
    EXPECT_THROW(row.cast(), std::runtime_error) << row.what;
  }
}

TEST(Blackboard, EntryTypeIsFixedByFirstSetOrByAPortAndGetNeverParsesText)
{
  auto board = BT::Blackboard::create();
  board->set("count", 7);
  board->set("name", "robot");
  board->set("ratio", std::string("0.25"));

  EXPECT_EQ(board->get<int>("count"), 7);
  EXPECT_EQ(board->get<double>("count"), 7.0);
  EXPECT_EQ(board->get<std::string>("name"), "robot");
  EXPECT_EQ(board->getAny("count")->type(), typeid(int));
  EXPECT_THROW(board->get<double>("ratio"), std::runtime_error);

  EXPECT_EQ(board->getAny("missing"), nullptr);
  int value = 0;
  EXPECT_FALSE(board->get("missing", value));
  EXPECT_THROW(board->get<int>("missing"), BT::RuntimeError);

  EXPECT_THROW(board->set("count", 2.5), BT::LogicError);
  EXPECT_THROW(board->set("count", std::string("3")), BT::LogicError);
  board->set("count", 8);
  EXPECT_EQ(board->get<int>("count"), 8);
  // A text entry is untyped: any value replaces it.
  board->set("name", 5);
  EXPECT_EQ(board->get<int>("name"), 5);

  // An entry a port declared has no value until set, and parses the text it is set to.
  board->createEntry("level", BT::InputPort<int>("level").second);
  ASSERT_NE(board->getAny("level"), nullptr);
  EXPECT_TRUE(board->getAny("level")->empty());
  EXPECT_THROW(board->get("level", value), std::runtime_error);
  board->set("level", std::string("4"));
  EXPECT_EQ(board->getAny("level")->type(), typeid(int));
  EXPECT_EQ(board->get<int>("level"), 4);
  EXPECT_THROW(board->set("level", 2.5), BT::LogicError);
  EXPECT_THROW(board->createEntry("level", BT::InputPort<double>("level").second), BT::LogicError);
}
