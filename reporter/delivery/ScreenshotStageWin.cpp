// The pipeline's screenshot step: the screen is taken before any dialog and
// written to "Screenshot.png" only when the report will be sent with it.
#include "reporter/delivery/ScreenshotStageWin.h"

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/delivery/DeliveryFilesWin.h"
#include "reporter/delivery/ScreenCaptureWin.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/pipeline/ScreenshotStage.h"
#include "runtime/Exceptions.h"

namespace {

class TScreenshotStage : public TVexlorScreenshotStage {
 public:
  void CaptureScreen() override {
    TraceEnter("CaptureScreen");
    capture_.Capture();
    TraceExit("CaptureScreen", {capture_.Width(), capture_.Height()});
  }
  void WriteScreenshotFile() override {
    if (!WorkingOptions().AttachScreenshot() || !PipelineState().ScreenshotFlag) return;
    const std::string name = ScreenshotFileName();
    TraceEnter("WriteScreenshotFile", {name});
    // A picture that cannot be written is left out of the mail; the report
    // is still sent.
    try {
      capture_.WritePng(name);
    } catch (const Exception& e) {
      Trace("WriteScreenshotFile", {e.Message()});
      DeleteFileA(name.c_str());
    }
    TraceExit("WriteScreenshotFile");
  }
  void ReleaseScreen() override { capture_.Release(); }
  void DeleteScreenshotFile() override { DeleteFileA(ScreenshotFileName().c_str()); }

 private:
  TVexlorScreenCapture capture_;
};

}  // namespace

TVexlorScreenshotStage& VexlorScreenshotStage() {
  // Never destroyed: a report made while the process exits still finds it.
  static auto* stage = new TScreenshotStage;
  return *stage;
}
