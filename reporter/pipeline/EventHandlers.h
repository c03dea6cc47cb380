// How an application hears of the reporter's work: components with three
// optional events, plus one global handler of each kind. Components are
// called from the last registered to the first, then the global handler.
#pragma once

#include <functional>

struct TVexlorExceptionRecord;

// The steps an action or error notification speaks of. The numbers are the
// codes an application's handlers receive and must stay as they are.
enum class TVexlorAction : int {
  atShowingExceptionInfo = 0,    // before the report is shown
  atShowedExceptionInfo = 1,     // after it was shown
  atSavingLogFile = 2,           // before the report is stored in the log file
  atSavedLogFile = 3,            // after it was stored (error notification: it was not)
  atSendingEmail = 4,            // before the report is sent
  atSentEmail = 5,               // after it was sent (error notification: it was not)
  atTerminatingApplication = 6,  // before the program is terminated or restarted
};

using TExceptionNotifyEvent = std::function<void(TVexlorExceptionRecord& record, bool& goOn)>;
using TActionNotifyEvent =
    std::function<void(TVexlorExceptionRecord& record, TVexlorAction action, bool& execute)>;
using TErrorNotifyEvent =
    std::function<void(TVexlorExceptionRecord& record, TVexlorAction action, bool& retry)>;

struct TVexlorEventComponent {
  TExceptionNotifyEvent OnExceptionNotify;
  TActionNotifyEvent OnActionNotify;
  TErrorNotifyEvent OnErrorNotify;
};

// The component must stay alive until it is removed.
void AddEventComponent(TVexlorEventComponent* component);
void RemoveEventComponent(TVexlorEventComponent* component);
void SetGlobalExceptionNotify(TExceptionNotifyEvent handler);
void SetGlobalActionNotify(TActionNotifyEvent handler);
void SetGlobalErrorNotify(TErrorNotifyEvent handler);

bool HasExceptionNotifyHandlers();
// Each runs in the raising thread; an exception in a handler is swallowed.
void RunExceptionNotify(TVexlorExceptionRecord& record, bool& goOn);
void RunActionNotify(TVexlorExceptionRecord& record, TVexlorAction action, bool& execute);
void RunErrorNotify(TVexlorExceptionRecord& record, TVexlorAction action, bool& retry);
