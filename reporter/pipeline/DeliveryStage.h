// The pipeline's delivery step: the report sent by e-mail. The delivery code
// installs its implementation at start-up.
#pragma once

struct TVexlorExceptionRecord;

class TVexlorDeliveryStage {
 public:
  // False when the report was not sent; the step records its own warning.
  virtual bool SendReport(TVexlorExceptionRecord& record) = 0;

 protected:
  // Never deleted through the interface; the reporter keeps every stage
  // alive for the whole process.
  ~TVexlorDeliveryStage() = default;
};

// Null removes it; with none installed nothing is sent (the step answers
// "not done").
void SetDeliveryStage(TVexlorDeliveryStage* stage);
TVexlorDeliveryStage& DeliveryStage();
