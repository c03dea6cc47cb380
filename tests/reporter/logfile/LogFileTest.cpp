// The log file on real files: the reading rule and its separators, the
// maximum, the repeat test, and the storing step with its request block,
// notifications and retry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "reporter/config/InternalErrors.h"
#include "reporter/logfile/LogFile.h"
#include "reporter/logfile/LogFileStore.h"

namespace {

namespace fs = std::filesystem;

const std::string kCrLf = "\r\n";

std::string Breaks(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += kCrLf;
  return text;
}

// A report as the report builder writes it: header lines, CR LF at the end.
std::string Report(const std::string& address, const std::string& message,
                   const std::string& date = "Mon, 7 Dec 2026 09:40:51 +0300") {
  return "VexlorLog 4.5.8\r\n\r\nException:\r\n-----\r\n  2.1 Date   : " + date +
         "\r\n  2.2 Address: " + address +
         "\r\n  2.3 Module : player.exe\r\n  2.4 Type   : EAccessViolation\r\n  2.5 Message: " +
         message + "\r\n";
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vexlor-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    name_ = (folder_ / "player.vlf").string();
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& content) { std::ofstream(name_, std::ios::binary) << content; }
  std::string Content() const {
    std::ifstream in(name_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path folder_;
  std::string name_;
};

TEST(LogItems, SeparatorRunsSplitItemsAndEachKeepsThreeBreaks) {
  const auto items = ParseLogItems("A" + Breaks(4) + "B" + Breaks(5));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], "A" + Breaks(3));
  EXPECT_EQ(items[1], "B" + Breaks(3));
  EXPECT_TRUE(ParseLogItems("").empty());
  EXPECT_TRUE(ParseLogItems(Breaks(2)).empty());
}

TEST(LogItems, TextAfterTheLastSeparatorIsKeptAsAnItem) {
  // A report cut off by a killed process, and a file with no separator.
  auto items = ParseLogItems("A" + Breaks(4) + "B cut\r\n  2.2 Addr");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1], "B cut\r\n  2.2 Addr" + Breaks(3));
  items = ParseLogItems("only text\r\n");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0], "only text" + Breaks(3));
}

TEST(LogItems, RunsOfFourOrMoreBreaksInsideAReportBecomeThree) {
  EXPECT_EQ(CollapseSeparatorRuns("a" + Breaks(6) + "b" + Breaks(3) + "c" + Breaks(4)),
            "a" + Breaks(3) + "b" + Breaks(3) + "c" + Breaks(3));
  EXPECT_EQ(CollapseSeparatorRuns("\r\r\n\n"), "\r\r\n\n");
}

TEST_F(LogFileTest, AReportIsWrittenWithFiveEmptyLinesAndReadBackWithThree) {
  Write("A" + Breaks(4) + "B" + Breaks(4));
  {
    TLogFile log(name_);
    ASSERT_EQ(log.Items().size(), 2u);
    log.LockAndReload();
    log.Add("C\r\n", 32);
    log.Save();
  }
  EXPECT_EQ(Content(), "A" + Breaks(4) + "B" + Breaks(4) + "C" + Breaks(6));
  {
    TLogFile log(name_);
    ASSERT_EQ(log.Items().size(), 3u);
    log.Save();
  }
  EXPECT_EQ(Content(), "A" + Breaks(4) + "B" + Breaks(4) + "C" + Breaks(4));
}

TEST_F(LogFileTest, AMissingFileIsAnEmptyLogMadeOnSave) {
  TLogFile log(name_);
  EXPECT_TRUE(log.Items().empty());
  EXPECT_FALSE(fs::exists(name_));
  log.Add("A\r\n", 5);
  log.Save();
  EXPECT_EQ(Content(), "A" + Breaks(6));
}

TEST_F(LogFileTest, ATruncatedReportSurvivesTheNextSave) {
  Write("A" + Breaks(4) + "B half");
  TLogFile log(name_);
  log.LockAndReload();
  log.Add("C\r\n", 32);
  log.Save();
  EXPECT_EQ(ParseLogItems(Content()).size(), 3u);
  EXPECT_NE(Content().find("B half" + Breaks(4) + "C"), std::string::npos);
}

TEST_F(LogFileTest, AReportHoldingFourBreaksReadsBackAsOneItem) {
  TLogFile log(name_);
  log.Add(Report("0001", "m") + "\r\nRequest:\r\n---\r\nfirst" + Breaks(4) + "second", 32);
  log.Save();
  TLogFile again(name_);
  ASSERT_EQ(again.Items().size(), 1u);
  EXPECT_NE(again.Items()[0].find("second"), std::string::npos);
}

TEST_F(LogFileTest, AddKeepsOneLessThanTheMaximumBeforeTheNewReport) {
  auto filled = [&](int count) {
    std::string content;
    for (int i = 0; i < count; ++i) content += "R" + std::to_string(i) + Breaks(4);
    Write(content);
    return std::make_unique<TLogFile>(name_);
  };
  auto log = filled(3);
  log->Add("new\r\n", 3);
  ASSERT_EQ(log->Items().size(), 3u);
  EXPECT_EQ(log->Items()[0], "R1" + Breaks(3));
  log = filled(5);
  log->Add("new\r\n", 3);
  ASSERT_EQ(log->Items().size(), 3u);
  EXPECT_EQ(log->Items()[0], "R3" + Breaks(3));
  // A maximum of 0 (or less) that got past the setter keeps the new report.
  for (int maximum : {0, -4}) {
    log = filled(2);
    log->Add("new\r\n", maximum);
    ASSERT_EQ(log->Items().size(), 1u);
    EXPECT_EQ(log->Items()[0], "new\r\n" + Breaks(4));
  }
}

TEST_F(LogFileTest, FindComparesWholeValuesOfTheNumberedLines) {
  std::string hidden = Report("00AA", "Boom.");
  hidden.erase(hidden.find("  2.2 "), hidden.find("  2.3 ") - hidden.find("  2.2 "));
  Write(Report("00AA", "Boom.") + Breaks(3) + hidden + Breaks(3));
  TLogFile log(name_);
  const std::vector<std::string> labels = {"2.2", "2.3", "2.4", "2.5"};
  EXPECT_TRUE(log.Find(labels, {"00AA", "player.exe", "EAccessViolation", "Boom."}));
  EXPECT_FALSE(log.Find(labels, {"00AA", "player.exe", "EAccessViolation", "Boom"}));
  EXPECT_FALSE(log.Find(labels, {"00AA", "player.exe", "EAccessViolation", "Other."}));
  // The report with the hidden address line matches nothing on its own.
  Write(hidden + Breaks(3));
  TLogFile onlyHidden(name_);
  EXPECT_FALSE(onlyHidden.Find(labels, {"00AA", "player.exe", "EAccessViolation", "Boom."}));
  EXPECT_TRUE(onlyHidden.Find({"2.3", "2.5"}, {"player.exe", "Boom."}));
}

// The application's handlers, recorded.
class TRecordingEvents : public TLogStoreEvents {
 public:
  std::vector<std::string> Calls;
  bool Veto = false;
  int Retries = 0;
  std::function<void()> BeforeRetry;

  void ActionNotify(TVexlorAction action, bool& execute) override {
    Calls.push_back("action " + std::to_string(static_cast<int>(action)) + " " +
                    (execute ? "1" : "0"));
    if (action == TVexlorAction::atSavingLogFile && Veto) execute = false;
  }
  void ErrorNotify(TVexlorAction action, bool& retry) override {
    Calls.push_back("error " + std::to_string(static_cast<int>(action)));
    if (Retries > 0) {
      --Retries;
      if (BeforeRetry) BeforeRetry();
      retry = true;
    }
  }
};

struct TStoreFixture {
  std::string ReportText;
  std::string LogText;
  TLogStoreTexts Texts() { return {ReportText, LogText}; }
};

TEST_F(LogFileTest, StoringAppendsTheRequestBlockAndNotifiesAroundIt) {
  TVexlorLogStore store;
  TRecordingEvents events;
  TStoreFixture texts{Report("0001", "A."), Report("0001", "A.")};
  TLogStoreRequest request{name_, 32, false, true, "Opened a file.", "Request", false};
  EXPECT_TRUE(store.Store(request, texts.Texts(), events));
  const std::string block = "\r\nRequest:\r\n" + std::string(40, '-') + "\r\nOpened a file.";
  EXPECT_EQ(texts.ReportText, Report("0001", "A.") + block);
  EXPECT_EQ(texts.LogText, texts.ReportText);
  EXPECT_EQ(events.Calls, (std::vector<std::string>{"action 2 1", "action 3 1"}));
  EXPECT_EQ(Content(), texts.ReportText + Breaks(5));

  // No description, no block.
  texts = {Report("0002", "B."), Report("0002", "B.")};
  request.ReproduceSteps.clear();
  EXPECT_TRUE(store.Store(request, texts.Texts(), events));
  EXPECT_EQ(texts.ReportText, Report("0002", "B."));
}

TEST_F(LogFileTest, ARetryAddsTheReportAndItsBlockOnce) {
  // The folder of the log is missing at first: the write fails, the handler
  // makes the folder and asks for a retry.
  const std::string name = (folder_ / "later" / "player.vlf").string();
  TVexlorLogStore store;
  TRecordingEvents events;
  events.Retries = 1;
  events.BeforeRetry = [&] { fs::create_directories(folder_ / "later"); };
  TStoreFixture texts{Report("0001", "A."), Report("0001", "A.")};
  TLogStoreRequest request{name, 32, false, true, "Steps.", "Request", false};
  EXPECT_TRUE(store.Store(request, texts.Texts(), events));
  EXPECT_EQ(events.Calls, (std::vector<std::string>{"action 2 1", "error 3", "action 3 1"}));
  std::ifstream in(name, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  ASSERT_EQ(ParseLogItems(content.str()).size(), 1u);
  EXPECT_EQ(texts.ReportText.find("Request:"), texts.ReportText.rfind("Request:"));
}

TEST_F(LogFileTest, AFailureThatIsNotRetriedIsTheLogWarning) {
  TVexlorLogStore store;
  TRecordingEvents events;
  TStoreFixture texts{Report("0001", "A."), Report("0001", "A.")};
  TLogStoreRequest request{(folder_ / "none" / "x.vlf").string(), 32, false, false, "", "", false};
  EXPECT_FALSE(store.Store(request, texts.Texts(), events));
  EXPECT_EQ(events.Calls, (std::vector<std::string>{"action 2 1", "error 3", "action 3 0"}));
  EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeLogError);
  EXPECT_EQ(LastInternalWarning().Message.rfind("[Log] ", 0), 0u);
}

TEST_F(LogFileTest, ARepeatOrAVetoStoresNothingAndSaysSo) {
  TVexlorLogStore store;
  TRecordingEvents events;
  TStoreFixture texts{Report("0001", "A."), Report("0001", "A.")};
  TLogStoreRequest request{name_, 32, false, true, "Steps.", "Request", true};
  EXPECT_FALSE(store.Store(request, texts.Texts(), events));
  EXPECT_EQ(texts.ReportText, Report("0001", "A."));
  EXPECT_FALSE(fs::exists(name_));
  EXPECT_EQ(events.Calls.back(), "action 3 0");

  events.Veto = true;
  request.Repeated = false;
  EXPECT_FALSE(store.Store(request, texts.Texts(), events));
  EXPECT_FALSE(fs::exists(name_));
}

TEST_F(LogFileTest, TheWholeLogRunsFromTheOldestKeptReportToTheNewOne) {
  Write(Report("0001", "A.") + Breaks(3) + Report("0002", "B.") + Breaks(3) + Report("0003", "C.") +
        Breaks(3));
  TVexlorLogStore store;
  TRecordingEvents events;
  TStoreFixture texts{Report("0004", "D."), Report("0004", "D.")};
  TLogStoreRequest request{name_, 3, true, false, "", "", false};
  EXPECT_TRUE(store.Store(request, texts.Texts(), events));
  EXPECT_EQ(texts.LogText.rfind(Report("0002", "B."), 0), 0u);
  EXPECT_TRUE(texts.LogText.ends_with(Report("0004", "D.") + Breaks(5)));
  EXPECT_EQ(texts.LogText, Content());
}

TEST_F(LogFileTest, AStoredReportIsNoRepeatOfItselfButOfTheNextOne) {
  TVexlorLogStore store;
  TRecordingEvents events;
  const TVexlorDuplicateKey key{"0001", "player.exe", "EAccessViolation", "A."};
  TStoreFixture first{Report("0001", "A."), Report("0001", "A.")};
  EXPECT_FALSE(store.IsRepeated(name_, key, first.ReportText));
  TLogStoreRequest request{name_, 32, false, false, "", "", false};
  ASSERT_TRUE(store.Store(request, first.Texts(), events));
  // The handlers after the storing test again: still not a repeat.
  EXPECT_FALSE(store.IsRepeated(name_, key, first.ReportText));
  const std::string next = Report("0001", "A.", "Mon, 7 Dec 2026 09:41:00 +0300");
  EXPECT_TRUE(store.IsRepeated(name_, key, next));
  EXPECT_FALSE(store.IsRepeated(name_, {"0001", "player.exe", "EAccessViolation", "B."}, next));
}

TEST_F(LogFileTest, TwoWritersAtOnceKeepEveryReport) {
  constexpr int kEach = 25;
  auto writer = [&](char who) {
    TVexlorLogStore store;
    TRecordingEvents events;
    for (int i = 0; i < kEach; ++i) {
      std::string text = Report(std::string(1, who) + std::to_string(i), "m");
      TStoreFixture texts{text, text};
      ASSERT_TRUE(store.Store({name_, 1000, false, false, "", "", false}, texts.Texts(), events));
    }
  };
  std::thread a(writer, 'A');
  std::thread b(writer, 'B');
  a.join();
  b.join();
  EXPECT_EQ(ParseLogItems(Content()).size(), 2u * kEach);
}

}  // namespace
