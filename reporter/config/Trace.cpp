// The running trace: its lines kept in memory under the reporter's lock, each
// thread indented on its own, and the file written on request or at exit.
#include "reporter/config/Trace.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "reporter/config/ReporterLock.h"
#include "reporter/config/ThreadSlot.h"
#include "reporter/config/TraceFormat.h"
#include "reporter/config/TracePlatform.h"
#include "runtime/FileNames.h"

namespace trace_detail {
std::atomic<bool> enabledFlag{false};
}  // namespace trace_detail

namespace {

struct TraceState {
  // A holder only appends whole lines and writes the file: what it leaves is
  // kept as it is.
  TVexlorLock lock;
  bool saveEachLine = false;
  bool designEnvironment = false;
  bool finished = false;
  std::vector<std::string> lines;
  std::string fileName;
  std::atomic<TTraceThreadNameProc> threadName{DefaultTraceThreadName};
};

TraceState* CreateState() {
  auto* state = new TraceState;
  state->fileName = ChangeFileExt(PlatformExecutablePath(), ".log");
  state->designEnvironment =
      UpperFileName(PlatformExecutablePath()) == kDesignEnvironmentExecutable;
  TTraceSwitches switches =
      TraceSwitchesFromParameters(PlatformCommandLineParameters(), state->designEnvironment);
  state->saveEachLine = switches.SaveEachLine;
  state->lines = TraceHeaderLines(PlatformSystemVersionText());
  trace_detail::enabledFlag.store(switches.Enabled);
  return state;
}

// Never destroyed: reporter code running from late static destructors may
// still trace, and must find the lock and the list alive.
TraceState& State() {
  static TraceState* state = CreateState();
  return *state;
}

// Per-thread nesting, so each thread's lines are indented on their own.
const TVexlorThreadWord threadIndentSlot;

bool WriteFile(const TraceState& state) {
  std::FILE* file = std::fopen(state.fileName.c_str(), "wb");
  if (!file) return false;
  bool ok = true;
  for (const std::string& line : state.lines) {
    ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size();
    ok = ok && std::fwrite("\r\n", 1, 2, file) == 2;
  }
  return std::fclose(file) == 0 && ok;
}

std::string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return FormatTraceTime(local);
}

// Sets the switches from the command line before main, and writes the file
// when the process ends. Built before the reporter's own start-up objects and
// so destroyed after them: their shutdown lines reach the file.
struct TraceLifetime {
  TraceLifetime() { State(); }
  ~TraceLifetime() { TraceShutdown(); }
};
#if defined(__GNUC__)
TraceLifetime traceLifetime __attribute__((init_priority(190)));
#else
TraceLifetime traceLifetime;
#endif

}  // namespace

void trace_detail::Record(std::string_view routine, TraceParams params, int indentChange) {
  TraceState& state = State();
  // Formatting and naming the thread run outside the lock: the capture layer's
  // naming procedure takes the threads-list lock, whose holders trace.
  std::string text = FormatTraceParams(params, CurrentAddressInspector());
  std::string thread = state.threadName.load()();
  std::string time = LocalTimeText();
  int threadIndent = static_cast<int>(threadIndentSlot.Get());
  if (indentChange < 0) threadIndent = std::max(0, threadIndent + indentChange);
  std::string line = FormatTraceLine(time, thread, threadIndent, routine, text);
  if (indentChange > 0) threadIndent += indentChange;
  threadIndentSlot.Set(static_cast<std::uintptr_t>(threadIndent));
  std::lock_guard<TVexlorLock> guard(state.lock);
  if (!enabledFlag.load(std::memory_order_relaxed)) return;
  state.lines.push_back(std::move(line));
  if (state.saveEachLine) WriteFile(state);
}

void TraceExitLine(std::string_view routine, TraceParams params) {
  std::string name(routine);
  name += '=';
  trace_detail::Record(name, params, -2);
}

bool GetTraceEnabled() {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  return trace_detail::enabledFlag.load();
}

void SetTraceEnabled(bool value) {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  trace_detail::enabledFlag.store(value);
}

bool GetTraceSaveEachLine() {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  return state.saveEachLine;
}

void SetTraceSaveEachLine(bool value) {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  state.saveEachLine = value;
}

bool SaveTrace() {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  if (!trace_detail::enabledFlag.load()) return false;
  return WriteFile(state);
}

std::string TraceFileName() {
  return State().fileName;
}

std::vector<std::string> TraceLines() {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  return state.lines;
}

bool InDesignEnvironment() {
  return State().designEnvironment;
}

TTraceThreadNameProc SetTraceThreadNameProc(TTraceThreadNameProc proc) {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  return state.threadName.exchange(proc ? proc : DefaultTraceThreadName);
}

std::string DefaultTraceThreadName() {
  std::string text = HexDigits(PlatformCurrentThreadId(), 8);
  if (PlatformIsMainThread()) text += ":MainThread";
  return text;
}

void TraceShutdown() {
  TraceState& state = State();
  std::lock_guard<TVexlorLock> guard(state.lock);
  if (state.finished) return;
  state.finished = true;
  if (trace_detail::enabledFlag.load() && !state.saveEachLine) WriteFile(state);
}
