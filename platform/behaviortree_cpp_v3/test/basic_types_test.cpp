#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "behaviortree_cpp_v3/basic_types.h"
#include "behaviortree_cpp_v3/tree_node.h"

using BT::convertFromString;
using BT::NodeStatus;
using BT::TreeNode;

TEST(ConvertFromString, ParsesWholeTextOrRaises)
{
  EXPECT_EQ(convertFromString<int>("-42"), -42);
  EXPECT_EQ(convertFromString<long>("9000000000"), 9000000000L);
  EXPECT_EQ(convertFromString<unsigned>("7"), 7u);
  EXPECT_EQ(convertFromString<double>("2.5e-1"), 0.25);
  EXPECT_EQ(convertFromString<std::string>(" keep spaces "), " keep spaces ");
  for (const char * bad : {"", "12abc", " 12", "1.5", "99999999999"}) {
    EXPECT_THROW(convertFromString<int>(bad), BT::RuntimeError) << bad;
  }
  EXPECT_THROW(convertFromString<unsigned>("-1"), BT::RuntimeError);
  EXPECT_THROW(convertFromString<double>("fast"), BT::RuntimeError);
}

TEST(ConvertFromString, BoolStatusAndUnknownTypes)
{
  for (const char * yes : {"1", "true", "True", "TRUE"}) {
    EXPECT_TRUE(convertFromString<bool>(yes)) << yes;
  }
  for (const char * no : {"0", "false", "False", "FALSE"}) {
    EXPECT_FALSE(convertFromString<bool>(no)) << no;
  }
  EXPECT_THROW(convertFromString<bool>("yes"), BT::RuntimeError);

  for (NodeStatus status :
       {NodeStatus::IDLE, NodeStatus::RUNNING, NodeStatus::SUCCESS, NodeStatus::FAILURE}) {
    EXPECT_EQ(convertFromString<NodeStatus>(BT::toStr(status)), status);
  }
  EXPECT_EQ(BT::toStr(NodeStatus::RUNNING), "RUNNING");
  EXPECT_EQ(static_cast<int>(NodeStatus::FAILURE), 3);
  EXPECT_THROW(convertFromString<NodeStatus>("DONE"), BT::RuntimeError);

  struct Pose
  {
  };
  EXPECT_THROW(convertFromString<Pose>("1;2"), BT::LogicError);
}

TEST(BlackboardPointer, RecognisesBothFormsAndRemapsEquals)
{
  EXPECT_TRUE(TreeNode::isBlackboardPointer("{goal}"));
  EXPECT_TRUE(TreeNode::isBlackboardPointer("${goal}"));
  for (const char * plain : {"goal", "{}", "{goal", "goal}", "$goal}"}) {
    EXPECT_FALSE(TreeNode::isBlackboardPointer(plain)) << plain;
  }
  EXPECT_EQ(TreeNode::stripBlackboardPointer("{goal}"), "goal");
  EXPECT_EQ(TreeNode::stripBlackboardPointer("${goal}"), "goal");
  EXPECT_EQ(TreeNode::stripBlackboardPointer("goal"), "");

  EXPECT_EQ(TreeNode::getRemappedKey("port", "=").value(), "port");
  EXPECT_EQ(TreeNode::getRemappedKey("port", "{key}").value(), "key");
  EXPECT_FALSE(TreeNode::getRemappedKey("port", "literal"));
}

TEST(AnyValue, ConvertsNumbersExactlyAndTextByParsing)
{
  EXPECT_EQ(BT::Any(3).cast<double>(), 3.0);
  EXPECT_EQ(BT::Any(4.0).cast<int>(), 4);
  EXPECT_THROW(BT::Any(4.5).cast<int>(), BT::RuntimeError);
  EXPECT_THROW(BT::Any(300).cast<uint8_t>(), BT::RuntimeError);
  EXPECT_THROW(BT::Any(std::numeric_limits<uint64_t>::max()).cast<int64_t>(), BT::RuntimeError);
  EXPECT_EQ(BT::Any(std::string("12")).cast<int>(), 12);
  EXPECT_EQ(BT::Any(12).cast<std::string>(), "12");
  EXPECT_EQ(BT::Any(true).cast<int>(), 1);
  EXPECT_THROW(BT::Any(2).cast<bool>(), BT::RuntimeError);
  EXPECT_THROW(BT::Any().cast<int>(), BT::RuntimeError);
}

TEST(ErrorsAndResults, MessagesAreComposedAndOptionalCarriesError)
{
  const std::string key = "goal";
  EXPECT_STREQ(
    BT::RuntimeError("missing [", key, "] in ", std::string("node")).what(),
    "missing [goal] in node");
  const BT::BehaviorTreeException & base = BT::LogicError("a", "b");
  EXPECT_STREQ(base.what(), "ab");

  BT::Optional<int> value = 5;
  BT::Optional<int> error = nonstd::make_unexpected("no value");
  EXPECT_TRUE(value);
  EXPECT_EQ(*value, 5);
  EXPECT_FALSE(error);
  EXPECT_EQ(error.error(), "no value");
  EXPECT_EQ(error.value_or(7), 7);
  EXPECT_THROW(error.value(), nonstd::bad_expected_access);

  BT::Result ok;
  BT::Result failed = nonstd::make_unexpected(std::string("why"));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.error(), "why");
}
