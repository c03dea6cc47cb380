#include "reporter/pipeline/ReportStages.h"

#include <atomic>

namespace {
TVexlorReportStages emptyStages;
std::atomic<TVexlorReportStages*> installed{nullptr};
}  // namespace

void SetReportStages(TVexlorReportStages* stages) {
  installed = stages;
}

TVexlorReportStages& ReportStages() {
  TVexlorReportStages* stages = installed.load();
  return stages ? *stages : emptyStages;
}
