// Arbitrary labels, values and switches through the header block and the
// whole report: customers word the labels, and values come from the faulting
// machine, so nothing in them may crash the report.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "reporter/config/ModuleOptions.h"
#include "reporter/report/LogItem.h"
#include "reporter/report/ReportText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void FuzzLogItem(FuzzedDataProvider& data) {
  TLogItem item;
  const int sections = data.ConsumeIntegralInRange(0, 6);
  for (int s = 0; s < sections; ++s) {
    item.AddSection(data.ConsumeRandomLengthString(40));
    const int items = data.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < items; ++i) {
      const std::string label = data.ConsumeRandomLengthString(40);
      item.AddItem(label, data.ConsumeRandomLengthString(60), data.ConsumeBool());
    }
  }
  const std::string text = item.GetText();
  Check(text.empty() || text.ends_with("\r\n"));
}

void FuzzReport(FuzzedDataProvider& data) {
  TVexlorModuleOptions options("", false);
  for (int i = 0; i < 8; ++i) {
    options.SetText(data.ConsumeIntegralInRange<std::uint8_t>(19, 70),
                    data.ConsumeRandomLengthString(30));
  }
  options.SetLogItems(data.ConsumeIntegral<std::uint32_t>());

  TVexlorReportInput input;
  input.Options = &options;
  for (std::string* value :
       {&input.Facts.AppName, &input.Facts.Parameters, &input.Facts.ExceptionMessage,
        &input.Facts.FormText, &input.Facts.OSUpdate, &input.Facts.OSLanguage}) {
    *value = data.ConsumeRandomLengthString(50);
  }
  input.ShowActiveControls = data.ConsumeBool();

  TVexlorModuleInfo module;
  module.Handle = data.ConsumeIntegral<std::uintptr_t>();
  module.FileName = data.ConsumeRandomLengthString(60);
  module.Description = data.ConsumeRandomLengthString(30);
  module.FileSize = data.ConsumeIntegral<std::uint32_t>();
  input.Modules = {&module};
  TVexlorStackList stack;
  stack.Add({data.ConsumeIntegralInRange<std::uint8_t>(0, 5),
             data.ConsumeBool() ? &module : nullptr, data.ConsumeIntegral<std::uintptr_t>(),
             data.ConsumeRandomLengthString(20), data.ConsumeRandomLengthString(20),
             data.ConsumeRandomLengthString(20), data.ConsumeIntegral<std::int32_t>()});
  input.CallStack = data.ConsumeBool() ? &stack : nullptr;
  if (data.ConsumeBool()) input.Context = TReportCpuContext{};
  if (data.ConsumeBool()) input.Dump = TReportMemoryDump{};

  const TVexlorReport report = MakeReport(input);
  Check(report.ReportText.starts_with("VexlorLog 4.5.8\r\n\r\n"));
  Check(report.ReportText.ends_with(report.CPUText));
  Check(report.DuplicateKey.Message.find_first_of("\r\n") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  if (data.ConsumeBool()) {
    FuzzLogItem(data);
  } else {
    FuzzReport(data);
  }
  return 0;
}
