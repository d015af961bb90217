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

TEST(ConvertFromString, NumbersAreReadAsStoiAndStodReadThem)
{
  const struct
  {
    const char * text;
    int expected;
  } ints[] = {{"-42", -42}, {"12abc", 12}, {" 12", 12}, {"1.5", 1}};
  for (const auto & row : ints) {
    EXPECT_EQ(convertFromString<int>(row.text), row.expected) << row.text;
  }
  EXPECT_EQ(convertFromString<double>("2.5e-1"), 0.25);
  EXPECT_EQ(convertFromString<std::string>(" keep spaces "), " keep spaces ");

  for (const char * text : {"", "abc"}) {
    EXPECT_THROW(convertFromString<int>(text), std::invalid_argument) << text;
  }
  EXPECT_THROW(convertFromString<int>("99999999999"), std::out_of_range);
  EXPECT_THROW(convertFromString<double>("fast"), std::invalid_argument);
}

TEST(ConvertFromString, BoolStatusAndUnknownTypes)
{
  for (const char * yes : {"1", "true", "True", "TRUE"}) {
    EXPECT_TRUE(convertFromString<bool>(yes)) << yes;
  }
  for (const char * no : {"0", "false", "False", "FALSE"}) {
    EXPECT_FALSE(convertFromString<bool>(no)) << no;
  }
  for (const char * bad : {"yes", "2", "true "}) {
    EXPECT_THROW(convertFromString<bool>(bad), BT::RuntimeError) << bad;
  }
  for (NodeStatus status :
       {NodeStatus::IDLE, NodeStatus::RUNNING, NodeStatus::SUCCESS, NodeStatus::FAILURE}) {
    EXPECT_EQ(convertFromString<NodeStatus>(BT::toStr(status)), status);
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
  EXPECT_EQ(Any(true).type(), typeid(bool));
  EXPECT_EQ(Any(std::string("text")).cast<std::string>(), "text");

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

TEST(Blackboard, EntryTypeIsFixedByFirstSetAndGetNeverParsesText)
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
}

TEST(Blackboard, EntryDeclaredByAPortParsesTextAndHasNoValueUntilSet)
{
  auto board = BT::Blackboard::create();
  board->createEntry("level", BT::InputPort<int>("level").second);
  ASSERT_NE(board->getAny("level"), nullptr);
  EXPECT_TRUE(board->getAny("level")->empty());
  int value = 0;
  EXPECT_THROW(board->get("level", value), std::runtime_error);

  board->set("level", std::string("4"));
  EXPECT_EQ(board->getAny("level")->type(), typeid(int));
  EXPECT_EQ(board->get<int>("level"), 4);
  EXPECT_THROW(board->set("level", 2.5), BT::LogicError);
  EXPECT_THROW(board->createEntry("level", BT::InputPort<double>("level").second), BT::LogicError);
}

TEST(ErrorsAndResults, MessagesAreComposedAndExpectedCarriesItsError)
{
  const std::string key = "goal";
  EXPECT_STREQ(
    BT::RuntimeError("missing [", key, "] in ", std::string("node")).what(),
    "missing [goal] in node");
  const BT::BehaviorTreeException & base = BT::LogicError("a", "b");
  EXPECT_STREQ(base.what(), "ab");

  BT::Optional<int> value = 5;
  BT::Optional<int> error = nonstd::make_unexpected("no value");
  EXPECT_EQ(*value, 5);
  EXPECT_FALSE(error);
  EXPECT_EQ(error.error(), "no value");
  try {
    error.value();
    ADD_FAILURE() << "value() of an error did not throw";
  } catch (const nonstd::bad_expected_access<std::string> & access) {
    EXPECT_EQ(access.error(), "no value");
  }

  BT::Result ok;
  BT::Result failed = nonstd::make_unexpected(std::string("why"));
  EXPECT_TRUE(ok);
  EXPECT_EQ(failed.error(), "why");
}
