// The live trace: recording, indentation per thread, the thread-naming slot.
#include "reporter/config/Trace.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::string FixedName() {
  return "T1";
}
std::string OtherName() {
  return "T2";
}

// The text after the thread column: indentation, routine and parameters.
std::string Body(const std::string& line) {
  return line.substr(line.find("] ") + 2);
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousName_ = SetTraceThreadNameProc(FixedName);
    SetTraceEnabled(true);
    first_ = TraceLines().size();
  }
  void TearDown() override {
    SetTraceEnabled(false);
    SetTraceThreadNameProc(previousName_);
  }
  std::vector<std::string> NewLines() {
    std::vector<std::string> all = TraceLines();
    return std::vector<std::string>(all.begin() + static_cast<long>(first_), all.end());
  }
  TTraceThreadNameProc previousName_ = nullptr;
  std::size_t first_ = 0;
};

}  // namespace

TEST_F(TraceTest, HeaderComesFirst) {
  std::vector<std::string> lines = TraceLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "VexlorLog 4.5.8");
  EXPECT_EQ(lines[3], "----------------");
}

TEST_F(TraceTest, EntryAndExitNestAndRestore) {
  TraceEnter("Outer", {1});
  TraceEnter("Inner");
  Trace("Middle", {"x"});
  TraceExit("Inner", {true});
  TraceExit("Outer");
  Trace("After");
  std::vector<std::string> lines = NewLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(Body(lines[0]), "Outer(1)");
  EXPECT_EQ(Body(lines[1]), "  Inner");
  EXPECT_EQ(Body(lines[2]), "    Middle('x')");
  EXPECT_EQ(Body(lines[3]), "  Inner=(True)");
  EXPECT_EQ(Body(lines[4]), "Outer=");
  EXPECT_EQ(Body(lines[5]), "After");
  EXPECT_NE(lines[0].find(" [T1] "), std::string::npos);
  // dd/mm/yy hh:nn:ss
  ASSERT_GE(lines[0].size(), 17u);
  EXPECT_EQ(lines[0][2], '/');
  EXPECT_EQ(lines[0][5], '/');
  EXPECT_EQ(lines[0][11], ':');
  EXPECT_EQ(lines[0][14], ':');
}

TEST_F(TraceTest, IndentationIsPerThread) {
  TraceEnter("Main");
  std::thread([] {
    SetTraceThreadNameProc(OtherName);
    TraceEnter("Worker");
    SetTraceThreadNameProc(FixedName);
  }).join();
  TraceExit("Main");
  std::vector<std::string> lines = NewLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Body(lines[1]), "Worker");
  EXPECT_NE(lines[1].find(" [T2] "), std::string::npos);
  EXPECT_EQ(Body(lines[2]), "Main=");
}

TEST_F(TraceTest, NothingRecordedWhileOff) {
  SetTraceEnabled(false);
  Trace("Hidden", {1});
  EXPECT_TRUE(NewLines().empty());
  EXPECT_FALSE(SaveTrace());
}

TEST_F(TraceTest, DefaultThreadNameMarksTheMainThread) {
  std::string main = DefaultTraceThreadName();
  EXPECT_EQ(main.size(), 8u + std::string(":MainThread").size());
  std::string other;
  std::thread([&other] { other = DefaultTraceThreadName(); }).join();
  EXPECT_EQ(other.size(), 8u);
}
