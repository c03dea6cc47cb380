// The slots of the pipeline's stages, each with the answer of a step that no
// part has installed: nothing done, nothing claimed.
#include <atomic>
#include <type_traits>

#include "reporter/config/Trace.h"
#include "reporter/pipeline/DeliveryStage.h"
#include "reporter/pipeline/DialogStage.h"
#include "reporter/pipeline/LogFileStage.h"
#include "reporter/pipeline/ScreenshotStage.h"
#include "reporter/pipeline/WebOutputStage.h"

namespace {

void NotDone(std::string_view step) {
  Trace(step, {"not done: no stage installed"});
}

class TNoLogFile : public TVexlorLogFileStage {
 public:
  bool IsRepeatedException(const TVexlorExceptionRecord&) override { return false; }
  bool AppendToLogFile(TVexlorExceptionRecord&) override {
    NotDone("AppendToLogFile");
    return false;
  }
};

class TNoScreenshot : public TVexlorScreenshotStage {
 public:
  void CaptureScreen() override {}
  void WriteScreenshotFile() override {}
  void ReleaseScreen() override {}
  void DeleteScreenshotFile() override {}
};

class TNoDialog : public TVexlorDialogStage {
 public:
  bool ShowExceptionDialog(TVexlorExceptionRecord&) override {
    NotDone("ShowExceptionDialog");
    return false;
  }
  void ClearReproduceSteps() override {}
  void AskReproduceSteps(TVexlorExceptionRecord&) override {}
  bool CopyRequested() override { return false; }
};

class TNoWebOutput : public TVexlorWebOutputStage {
 public:
  bool IsWebApplication() override { return false; }
  bool ShowWebReport(TVexlorExceptionRecord&, bool) override {
    NotDone("ShowWebReport");
    return false;
  }
};

class TNoDelivery : public TVexlorDeliveryStage {
 public:
  bool SendReport(TVexlorExceptionRecord&) override {
    NotDone("SendReport");
    return false;
  }
};

// One slot per stage. Constant-initialised and never destroyed: the slots
// exist before the reporter's start-up and still serve a report made while
// the process exits.
template <class Stage, class None>
class TStageSlot {
 public:
  void Set(Stage* stage) { installed_.store(stage); }
  Stage& Get() {
    Stage* stage = installed_.load();
    return stage ? *stage : none_;
  }

 private:
  None none_;
  std::atomic<Stage*> installed_{nullptr};
};

constinit TStageSlot<TVexlorLogFileStage, TNoLogFile> logFileSlot;
constinit TStageSlot<TVexlorScreenshotStage, TNoScreenshot> screenshotSlot;
constinit TStageSlot<TVexlorDialogStage, TNoDialog> dialogSlot;
constinit TStageSlot<TVexlorWebOutputStage, TNoWebOutput> webOutputSlot;
constinit TStageSlot<TVexlorDeliveryStage, TNoDelivery> deliverySlot;
static_assert(std::is_trivially_destructible_v<TStageSlot<TVexlorLogFileStage, TNoLogFile>>);

}  // namespace

void SetLogFileStage(TVexlorLogFileStage* stage) {
  logFileSlot.Set(stage);
}
TVexlorLogFileStage& LogFileStage() {
  return logFileSlot.Get();
}
void SetScreenshotStage(TVexlorScreenshotStage* stage) {
  screenshotSlot.Set(stage);
}
TVexlorScreenshotStage& ScreenshotStage() {
  return screenshotSlot.Get();
}
void SetDialogStage(TVexlorDialogStage* stage) {
  dialogSlot.Set(stage);
}
TVexlorDialogStage& DialogStage() {
  return dialogSlot.Get();
}
void SetWebOutputStage(TVexlorWebOutputStage* stage) {
  webOutputSlot.Set(stage);
}
TVexlorWebOutputStage& WebOutputStage() {
  return webOutputSlot.Get();
}
void SetDeliveryStage(TVexlorDeliveryStage* stage) {
  deliverySlot.Set(stage);
}
TVexlorDeliveryStage& DeliveryStage() {
  return deliverySlot.Get();
}
