// The pipeline's screenshot step: the screen is taken before any dialog,
// written to a temporary file only when the report will be sent, and always
// released and deleted at the end. The screenshot code installs its
// implementation at start-up.
#pragma once

class TVexlorScreenshotStage {
 public:
  virtual void CaptureScreen() = 0;
  virtual void WriteScreenshotFile() = 0;
  virtual void ReleaseScreen() = 0;
  virtual void DeleteScreenshotFile() = 0;

 protected:
  // Never deleted through the interface; the reporter keeps every stage
  // alive for the whole process.
  ~TVexlorScreenshotStage() = default;
};

// Null removes it; with none installed no screen is taken.
void SetScreenshotStage(TVexlorScreenshotStage* stage);
TVexlorScreenshotStage& ScreenshotStage();
