// The report pipeline of a program that carries its reporter data, started as
// in the product: the steps of later parts are recorded by a stand-in, the
// console presentation writes into a file put in place of the standard output.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "reporter/capture/AppKindHandlers.h"
#include "reporter/capture/GoNotify.h"
#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/StackList.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/DeliveryStage.h"
#include "reporter/pipeline/DialogStage.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ExceptNotifyWin.h"
#include "reporter/pipeline/LogFileStage.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/pipeline/ScreenshotStage.h"
#include "reporter/pipeline/WebOutputStage.h"
#include "reporter/report/ReportText.h"
#include "runtime/Exceptions.h"
#include "runtime/Forms.h"

namespace {

// Every step of the later parts, with the thread it ran in.
class TRecordingStages : public TVexlorLogFileStage,
                         public TVexlorScreenshotStage,
                         public TVexlorDialogStage,
                         public TVexlorWebOutputStage,
                         public TVexlorDeliveryStage {
 public:
  bool RepeatedAnswer = false;
  bool LogSaved = true;
  bool LogRaises = false;
  bool WebApplication = false;
  bool Copy = false;
  std::function<void()> OnCaptureScreen;

  bool IsRepeatedException(const TVexlorExceptionRecord&) override {
    Note("repeat?");
    return RepeatedAnswer;
  }
  bool AppendToLogFile(TVexlorExceptionRecord&) override {
    Note("log");
    if (LogRaises) throw EWriteError("The log file is read-only.");
    return LogSaved;
  }
  void CaptureScreen() override {
    Note("capture");
    if (OnCaptureScreen) OnCaptureScreen();
  }
  void WriteScreenshotFile() override { Note("screenshot file"); }
  void ReleaseScreen() override { Note("release"); }
  void DeleteScreenshotFile() override { Note("delete screenshot"); }
  // A console program: the pipeline writes the report out instead.
  bool ShowExceptionDialog(TVexlorExceptionRecord&) override { return false; }
  void ClearReproduceSteps() override { Note("clear steps"); }
  void AskReproduceSteps(TVexlorExceptionRecord&) override { Note("ask steps"); }
  bool IsWebApplication() override { return WebApplication; }
  bool ShowWebReport(TVexlorExceptionRecord&, bool withReport) override {
    Note(withReport ? "web report" : "web message");
    return true;
  }
  bool SendReport(TVexlorExceptionRecord&) override {
    Note("send");
    return true;
  }
  bool CopyRequested() override { return Copy; }

  void Note(const std::string& step) {
    std::lock_guard guard(lock_);
    steps_.push_back(step);
    threads_.push_back(GetCurrentThreadId());
  }
  std::vector<std::string> Steps() {
    std::lock_guard guard(lock_);
    return steps_;
  }
  std::vector<DWORD> Threads() {
    std::lock_guard guard(lock_);
    return threads_;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> steps_;
  std::vector<DWORD> threads_;
};

// Null puts back the stages of a program without them.
void InstallStages(TRecordingStages* stages) {
  SetLogFileStage(stages);
  SetScreenshotStage(stages);
  SetDialogStage(stages);
  SetWebOutputStage(stages);
  SetDeliveryStage(stages);
}

// The reporter's own message boxes, answered "No".
class TRecordingErrorUI : public TInternalErrorUI {
 public:
  int ShowMessage(const std::string& text, const std::string&, std::uint32_t) override {
    Texts.push_back(text);
    return IDNO;
  }
  std::vector<std::string> Texts;
};

// The standard output of the process goes to a file for the lifetime.
class TCapturedOutput {
 public:
  explicit TCapturedOutput(bool writable) {
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "vlp", 0, path_);
    if (!writable) {
      // A handle that cannot write: the presentation must fail.
      file_ = CreateFileA(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    } else {
      file_ =
          CreateFileA(path_, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    }
    previous_ = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, file_);
  }
  ~TCapturedOutput() {
    SetStdHandle(STD_OUTPUT_HANDLE, previous_);
    CloseHandle(file_);
    DeleteFileA(path_);
  }
  TCapturedOutput(const TCapturedOutput&) = delete;
  TCapturedOutput& operator=(const TCapturedOutput&) = delete;

  std::string Text() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  char path_[MAX_PATH] = {};
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE previous_ = nullptr;
};

__attribute__((noinline)) void RaiseConvertError(const std::string& message) {
  throw EConvertError(message);
}

// The framework's road: the exception is reported while it is being handled.
// True = the reporter left it to the caller.
bool ReportWhileHandling(const std::string& message) {
  try {
    RaiseConvertError(message);
  } catch (...) {
    return ExceptionManager();
  }
  return true;
}

bool Contains(const std::vector<std::string>& steps, const std::string& step) {
  return std::find(steps.begin(), steps.end(), step) != steps.end();
}

class ReportPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ReporterFlags().Active) << "the test program carries no reporter data";
    TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
    options.SetActive(true);
    options.SetShowExceptionDialog(true);
    options.SetSaveLogFile(true);
    options.SetEmailSendMode(TEmailSendMode::None);
    options.SetReportFlags(0);
    options.SetExceptionFiltersActive(true);
    options.SetExceptionFilters({}, {});
    InstallStages(&stages_);
    SetInternalErrorUI(&errorUI_);
    PipelineState().TerminateRequest = false;
  }
  void TearDown() override {
    InstallStages(nullptr);
    SetInternalErrorUI(nullptr);
    SetGlobalExceptionNotify(nullptr);
    SetGlobalActionNotify(nullptr);
    for (TVexlorEventComponent* component : components_) RemoveEventComponent(component);
  }
  void Add(TVexlorEventComponent& component) {
    AddEventComponent(&component);
    components_.push_back(&component);
  }

  TRecordingStages stages_;
  TRecordingErrorUI errorUI_;
  std::vector<TVexlorEventComponent*> components_;
};

TEST_F(ReportPipelineTest, StepsRunInOrderAndTheConsoleGetsTheReport) {
  CurrentVexlorLogOptions().SetEmailSendMode(TEmailSendMode::SMTPClient);
  CurrentVexlorLogOptions().SetReportFlags(rfNoDuplicateErrors | rfAskReproduceSteps);
  const DWORD raisingThread = GetCurrentThreadId();
  TVexlorExceptionRecord seen;
  TVexlorStackList seenStack;
  std::string seenClass;
  std::string seenModuleName;
  bool currentDuringReport = false;
  TVexlorEventComponent component;
  component.OnExceptionNotify = [&](TVexlorExceptionRecord& record, bool&) {
    stages_.Note("notify");
    seen = record;
    seenClass = ExceptionClassName(record.ExceptionObject);
    seenModuleName = record.ModuleOptions->ModuleName();
    if (record.CallStack) seenStack = *record.CallStack;
    currentDuringReport = CurrentExceptionRecord() == &record;
  };
  component.OnActionNotify = [&](TVexlorExceptionRecord&, TVexlorAction action, bool&) {
    stages_.Note("action " + std::to_string(static_cast<int>(action)));
  };
  Add(component);
  const int counter = PipelineState().ExceptionCounter;

  std::string output;
  {
    TCapturedOutput console(true);
    EXPECT_FALSE(ReportWhileHandling("Unknown monitor 3."));
    output = console.Text();
  }

  // The console program shows the report itself and asks for no steps.
  const std::vector<std::string> expected = {
      "clear steps", "repeat?", "capture",  "notify",           "repeat?",
      "action 0",    "repeat?", "action 1", "repeat?",          "screenshot file",
      "release",     "log",     "send",     "delete screenshot"};
  EXPECT_EQ(stages_.Steps(), expected);
  const std::vector<std::string> steps = stages_.Steps();
  const std::vector<DWORD> threads = stages_.Threads();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const bool application = steps[i] == "notify" || steps[i].starts_with("action");
    EXPECT_EQ(threads[i] == raisingThread, application) << steps[i];
  }
  EXPECT_EQ(PipelineState().ExceptionCounter, counter + 1);
  EXPECT_EQ(CurrentExceptionRecord(), nullptr);
  EXPECT_TRUE(currentDuringReport);

  // The record: the raising call, its thread, the options in force, the text.
  EXPECT_EQ(seenClass, "EConvertError");
  EXPECT_EQ(seen.ThreadID, raisingThread);
  ASSERT_NE(seen.ExceptionAddress, 0u);
  EXPECT_EQ(*reinterpret_cast<const unsigned char*>(seen.ExceptionAddress), 0xE8)
      << "not the call instruction";
  EXPECT_EQ(seen.ModuleOptions, &WorkingOptions());
  // The options are those of the module the exception happened in: this one.
  std::string moduleName = seenModuleName;
  std::transform(moduleName.begin(), moduleName.end(), moduleName.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_TRUE(moduleName.ends_with("\\pipeline_tests.exe")) << seenModuleName;
  EXPECT_NE(seen.ModulesList, nullptr);
  ASSERT_GE(seenStack.Count(), 2u);
  EXPECT_EQ(seenStack.Items(0).Address, seen.ExceptionAddress);
  EXPECT_NE(seenStack.Items(1).Address, seen.ExceptionAddress);
  EXPECT_NE(seen.LogText.find("Unknown monitor 3."), std::string::npos);

  EXPECT_EQ(output, CurrentReport().IntroText + seen.LogText + "\r\n");
  EXPECT_TRUE(output.starts_with(
      CurrentVexlorLogOptions()
          .CustomizedTexts()[static_cast<std::size_t>(TCustomizedText::DialogErrorMessage)] +
      "\r\n\r\n"));
}

TEST_F(ReportPipelineTest, ARepeatIsNotSentUnlessAHandlerChangesTheOptions) {
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetEmailSendMode(TEmailSendMode::EmailClient);
  options.SetReportFlags(rfNoDuplicateErrors);
  stages_.RepeatedAnswer = true;
  TCapturedOutput console(true);
  EXPECT_FALSE(ReportWhileHandling("seen before"));
  std::vector<std::string> steps = stages_.Steps();
  EXPECT_TRUE(Contains(steps, "log"));
  EXPECT_FALSE(Contains(steps, "send"));
  EXPECT_FALSE(Contains(steps, "screenshot file"));
  EXPECT_TRUE(Contains(steps, "delete screenshot"));

  // The handler works on the options in force for this report; the repeat
  // test follows its change.
  SetGlobalExceptionNotify(
      [](TVexlorExceptionRecord& record, bool&) { record.ModuleOptions->SetReportFlags(0); });
  TRecordingStages second;
  second.RepeatedAnswer = true;
  InstallStages(&second);
  EXPECT_FALSE(ReportWhileHandling("seen before, sent anyway"));
  steps = second.Steps();
  EXPECT_TRUE(Contains(steps, "send"));
  EXPECT_TRUE(Contains(steps, "screenshot file"));
}

TEST_F(ReportPipelineTest, HandlersRunLastRegisteredFirstAndMayKeepTheProgramsHandling) {
  std::vector<std::string> order;
  TVexlorEventComponent first, second;
  first.OnExceptionNotify = [&](TVexlorExceptionRecord&, bool&) { order.push_back("first"); };
  second.OnExceptionNotify = [&](TVexlorExceptionRecord&, bool& goOn) {
    order.push_back("second");
    goOn = false;
  };
  Add(first);
  Add(second);
  SetGlobalExceptionNotify([&](TVexlorExceptionRecord&, bool&) {
    order.push_back("global");
    throw EConvertError("a handler's own failure stays with the handler");
  });
  const int counter = PipelineState().ExceptionCounter;
  TCapturedOutput console(true);
  EXPECT_TRUE(ReportWhileHandling("left to the program"));
  EXPECT_EQ(order, (std::vector<std::string>{"second", "first", "global"}));
  // Nothing is shown, saved or sent, and the captured screen is let go.
  EXPECT_EQ(console.Text(), "");
  EXPECT_EQ(PipelineState().ExceptionCounter, counter);
  const std::vector<std::string> steps = stages_.Steps();
  EXPECT_FALSE(Contains(steps, "log"));
  EXPECT_TRUE(Contains(steps, "release"));
  EXPECT_TRUE(errorUI_.Texts.empty());
}

TEST_F(ReportPipelineTest, ShowingIsVetoedSwitchedOffOrFailsWithAWarning) {
  TVexlorEventComponent component;
  bool veto = true;
  component.OnActionNotify = [&](TVexlorExceptionRecord&, TVexlorAction action, bool& execute) {
    stages_.Note("action " + std::to_string(static_cast<int>(action)));
    if (action == TVexlorAction::atShowingExceptionInfo && veto) execute = false;
  };
  Add(component);
  {
    TCapturedOutput console(true);
    EXPECT_FALSE(ReportWhileHandling("vetoed"));
    EXPECT_EQ(console.Text(), "");
  }
  std::vector<std::string> steps = stages_.Steps();
  EXPECT_TRUE(Contains(steps, "action 0"));
  EXPECT_FALSE(Contains(steps, "action 1"));
  EXPECT_TRUE(Contains(steps, "log"));

  veto = false;
  CurrentVexlorLogOptions().SetShowExceptionDialog(false);
  TRecordingStages silent;
  InstallStages(&silent);
  {
    TCapturedOutput console(true);
    EXPECT_FALSE(ReportWhileHandling("not shown"));
    EXPECT_EQ(console.Text(), "");
  }
  EXPECT_TRUE(Contains(silent.Steps(), "log"));
  EXPECT_FALSE(Contains(silent.Steps(), "action 0"));

  CurrentVexlorLogOptions().SetShowExceptionDialog(true);
  TRecordingStages failing;
  InstallStages(&failing);
  {
    TCapturedOutput console(false);
    EXPECT_FALSE(ReportWhileHandling("no console"));
  }
  const TVexlorInternalWarning warning = LastInternalWarning();
  EXPECT_EQ(warning.Code, TVexlorLogErrorCode::eeShowError);
  EXPECT_TRUE(warning.Message.starts_with("[Console] ")) << warning.Message;
  // Not shown: the after-dialog handlers hear nothing; the log still gets it.
  steps = failing.Steps();
  EXPECT_FALSE(Contains(steps, "action 1"));
  EXPECT_TRUE(Contains(steps, "log"));
}

TEST_F(ReportPipelineTest, AFailedLogFileIsAWarningAndTheReportGoesOn) {
  CurrentVexlorLogOptions().SetEmailSendMode(TEmailSendMode::SMTPServer);
  stages_.LogRaises = true;
  TCapturedOutput console(true);
  EXPECT_FALSE(ReportWhileHandling("cannot be saved"));
  const TVexlorInternalWarning warning = LastInternalWarning();
  EXPECT_EQ(warning.Code, TVexlorLogErrorCode::eeLogError);
  EXPECT_EQ(warning.Message, "[Log] The log file is read-only.");
  const std::vector<std::string> steps = stages_.Steps();
  EXPECT_TRUE(Contains(steps, "send"));
  EXPECT_TRUE(Contains(steps, "delete screenshot"));
  EXPECT_TRUE(errorUI_.Texts.empty());

  // The dialog's copy choice puts the report on the clipboard.
  TRecordingStages copying;
  copying.Copy = true;
  InstallStages(&copying);
  std::string reportText;
  SetGlobalExceptionNotify(
      [&](TVexlorExceptionRecord& record, bool&) { reportText = record.LogText; });
  EXPECT_FALSE(ReportWhileHandling("copied"));
  std::string clipboard;
  if (OpenClipboard(nullptr)) {
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      if (const char* text = static_cast<const char*>(GlobalLock(data))) clipboard = text;
      GlobalUnlock(data);
    }
    CloseClipboard();
  }
  EXPECT_FALSE(reportText.empty());
  EXPECT_EQ(clipboard, reportText);
  SetGlobalExceptionNotify(nullptr);

  // A step that reports its own failure keeps its warning.
  TRecordingStages unsaved;
  unsaved.LogSaved = false;
  InstallStages(&unsaved);
  EXPECT_FALSE(ReportWhileHandling("not saved"));
  EXPECT_EQ(LastInternalWarning().Code, TVexlorLogErrorCode::eeNone);
  EXPECT_TRUE(Contains(unsaved.Steps(), "send"));
}

// Answers the first message box of this process; returns its caption and
// text as "caption|text".
std::string AnswerMessageBox() {
  for (int i = 0; i < 1000; ++i) {
    HWND box = nullptr;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
          DWORD process = 0;
          GetWindowThreadProcessId(window, &process);
          char className[16] = {};
          GetClassNameA(window, className, sizeof(className));
          if (process != GetCurrentProcessId() || std::string(className) != "#32770") return TRUE;
          *reinterpret_cast<HWND*>(found) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (box) {
      char caption[256] = {};
      GetWindowTextA(box, caption, sizeof(caption));
      char text[512] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return std::string(caption) + "|" + text;
    }
    Sleep(20);
  }
  return "(no message box)";
}

TEST_F(ReportPipelineTest, AFilterRowEndsTheReportAfterItsMessage) {
  bool notified = false;
  SetGlobalExceptionNotify([&](TVexlorExceptionRecord&, bool&) { notified = true; });
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  // A row names an ancestor of the exception's class.
  options.SetExceptionFilters({"EOutOfMemory", "Exception"}, {"", ""});
  TCapturedOutput console(true);
  EXPECT_FALSE(ReportWhileHandling("filtered silently"));
  EXPECT_FALSE(notified);
  EXPECT_EQ(stages_.Steps(), (std::vector<std::string>{"clear steps"}));

  options.SetExceptionFilters({"EConvertError"}, {"Choose another monitor."});
  const std::string caption =
      options.CustomizedTexts()[static_cast<std::size_t>(TCustomizedText::MsgCaptionInformation)];
  std::string shown;
  std::thread answer([&] { shown = AnswerMessageBox(); });
  EXPECT_FALSE(ReportWhileHandling("filtered with a message"));
  answer.join();
  EXPECT_EQ(shown, caption + "|Choose another monitor.");
  EXPECT_FALSE(notified);

  options.SetExceptionFiltersActive(false);
  EXPECT_FALSE(ReportWhileHandling("filters off"));
  EXPECT_TRUE(notified);
}

TEST_F(ReportPipelineTest, PostedProceduresRunInTheRaisingThreadAndItKeepsPainting) {
  // A window of the waiting main thread.
  static std::atomic<int> customPaints{0};
  static std::atomic<int> others{0};
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
    if (message == 0x8002) ++customPaints;
    if (message == WM_USER + 1) ++others;
    return DefWindowProcA(window, message, w, l);
  };
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ReportPipelineTestWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("ReportPipelineTestWindow", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  const DWORD raisingThread = GetCurrentThreadId();
  DWORD ranIn = 0;
  std::atomic<int> postedInRaisingThread{0};
  bool paintedWhileWaiting = false;
  bool reentered = false;
  stages_.OnCaptureScreen = [&] {
    RunInRaisingThread([&] {
      ranIn = GetCurrentThreadId();
      // The waiting thread is inside the pipeline: nothing it raises now is
      // a report.
      EConvertError inner("raised by a handler");
      reentered = ExceptNotify({&inner, &typeid(inner)}, 0x1000, false, 0, 0, nullptr);
    });
    // A procedure that raises counts as done.
    RunInRaisingThread([] { throw EConvertError("posted and failed"); });
    // Two posters at once: the slot takes one after the other.
    auto post = [&] {
      RunInRaisingThread([&] {
        Sleep(30);
        if (GetCurrentThreadId() == raisingThread) ++postedInRaisingThread;
      });
    };
    std::thread other(post);
    post();
    other.join();
    PostMessageA(window, WM_USER + 1, 0, 0);
    PostMessageA(window, 0x8002, 0, 0);
    for (int i = 0; i < 200 && customPaints == 0; ++i) Sleep(10);
    paintedWhileWaiting = customPaints > 0;
  };
  TCapturedOutput console(true);
  EXPECT_FALSE(ReportWhileHandling("waiting"));
  EXPECT_EQ(ranIn, raisingThread);
  EXPECT_TRUE(reentered);
  EXPECT_EQ(postedInRaisingThread, 2);
  EXPECT_TRUE(paintedWhileWaiting);
  // Everything else the waiting thread took from its queue is gone.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(others, 0);
  DestroyWindow(window);

  // Outside a report a procedure runs at once, and its failure stays inside.
  ranIn = 0;
  RunInRaisingThread([&] { ranIn = GetCurrentThreadId(); });
  EXPECT_EQ(ranIn, raisingThread);
  RunInRaisingThread([] { throw EConvertError("not a report"); });
}

bool TraceHas(const std::string& text) {
  for (const std::string& line : TraceLines()) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST_F(ReportPipelineTest, FailuresOfTheReportAreInternalErrorsNamingTheStep) {
  stages_.OnCaptureScreen = [] { throw EReadError("The screen cannot be read."); };
  TCapturedOutput console(true);
  EXPECT_FALSE(ReportWhileHandling("first failure"));
  EXPECT_TRUE(TraceHas("Section: InternalExceptNotify.705"));
  EXPECT_TRUE(TraceHas("The screen cannot be read."));
  ASSERT_EQ(errorUI_.Texts.size(), 1u);
  EXPECT_FALSE(Contains(stages_.Steps(), "log"));

  // A fault ends the handler thread itself: the raising thread goes on and
  // reports what happened.
  TRecordingStages faulting;
  faulting.OnCaptureScreen = [] {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  };
  InstallStages(&faulting);
  errorUI_.Texts.clear();
  const auto start = std::chrono::steady_clock::now();
  ReportWhileHandling("second failure");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ASSERT_EQ(errorUI_.Texts.size(), 1u);
  EXPECT_NE(errorUI_.Texts[0].find("handler thread"), std::string::npos);
  EXPECT_EQ(CurrentExceptionRecord(), nullptr);

  // The next report is made as usual.
  TRecordingStages healthy;
  InstallStages(&healthy);
  EXPECT_FALSE(ReportWhileHandling("after the failures"));
  EXPECT_TRUE(Contains(healthy.Steps(), "log"));
}

TEST_F(ReportPipelineTest, AnUnreadableContextIsDroppedAndTheStackStillWalked) {
  // The form a library uses while it starts: the report in this thread.
  std::string text;
  std::size_t stackItems = 0;
  SetGlobalExceptionNotify([&](TVexlorExceptionRecord& record, bool& goOn) {
    text = record.LogText;
    stackItems = record.CallStack ? record.CallStack->Count() : 0;
    goOn = false;
  });
  EConvertError error("reported in place");
  const TVexlorExceptionObject object{&error, &typeid(error)};
  const auto address = reinterpret_cast<std::uintptr_t>(&RaiseConvertError);
  TExceptNotifyParams params;
  params.ThreadID = GetCurrentThreadId();
  params.StackPointer = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  params.Context = reinterpret_cast<const CONTEXT*>(0x10);
  EXPECT_TRUE(InternalExceptNotify(object, address, false, params));
  // No registers to show.
  EXPECT_NE(text.find("RAX: ????????"), std::string::npos);
  EXPECT_GE(stackItems, 2u);
  EXPECT_TRUE(errorUI_.Texts.empty());

  CONTEXT context{};
  RtlCaptureContext(&context);
  params.Context = &context;
  EXPECT_TRUE(InternalExceptNotify(object, address, false, params));
  EXPECT_EQ(text.find("RAX: ????????"), std::string::npos);
  EXPECT_NE(text.find("RAX: "), std::string::npos);
}

TEST_F(ReportPipelineTest, TheFrameworksHandlerIsReplaced) {
  ASSERT_TRUE(GUIHandlerInstalled());
  TApplication application;
  int frameworkShown = 0;
  bool frameworkRaises = false;
  application.OnException = [&](TObject*, const std::exception&) {
    ++frameworkShown;
    if (frameworkRaises) throw EConvertError("the framework's handler failed");
  };
  int reports = 0;
  bool keepFramework = false;
  SetGlobalExceptionNotify([&](TVexlorExceptionRecord&, bool& goOn) {
    ++reports;
    if (keepFramework) goOn = false;
  });
  auto raiseToFramework = [&] {
    try {
      RaiseConvertError("reached the framework");
    } catch (...) {
      application.HandleException(nullptr);
    }
  };
  TCapturedOutput console(true);
  // Reported once, and the framework shows nothing.
  raiseToFramework();
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(frameworkShown, 0);

  // Inactive: the framework handles it as without the reporter.
  CurrentVexlorLogOptions().SetActive(false);
  raiseToFramework();
  CurrentVexlorLogOptions().SetActive(true);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(frameworkShown, 1);

  // A framework handler that raises leaves its entry hooked again.
  keepFramework = true;
  frameworkRaises = true;
  EXPECT_THROW(raiseToFramework(), EConvertError);
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(frameworkShown, 2);
  frameworkRaises = false;
  keepFramework = false;
  raiseToFramework();
  EXPECT_EQ(reports, 3);
  EXPECT_EQ(frameworkShown, 2);
}

}  // namespace
