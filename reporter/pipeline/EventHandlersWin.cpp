// The registered components and global handlers under the reporter's lock,
// called from a snapshot so a handler may change the registrations.
#include "reporter/pipeline/EventHandlers.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "reporter/config/ReporterLock.h"
#include "reporter/config/Trace.h"
#include "reporter/pipeline/ExceptNotifyWin.h"

namespace {

// Built on first use: applications may register handlers from their own
// static constructors.
struct THandlers {
  // Holders only copy the handlers or add and remove a pointer: a dead holder
  // leaves the registrations as they were.
  TVexlorLock Lock;
  std::vector<TVexlorEventComponent*> Components;
  TExceptionNotifyEvent ExceptionNotify;
  TActionNotifyEvent ActionNotify;
  TErrorNotifyEvent ErrorNotify;
};

// Never destroyed: a report may be made while static objects are destroyed.
THandlers& State() {
  static THandlers& handlers = *new THandlers;
  return handlers;
}

// A snapshot, so that a handler may register or remove components.
template <class Event>
std::vector<Event> Handlers(Event TVexlorEventComponent::*member, Event THandlers::*global) {
  THandlers& state = State();
  std::lock_guard guard(state.Lock);
  std::vector<Event> result;
  for (auto it = state.Components.rbegin(); it != state.Components.rend(); ++it) {
    if ((*it)->*member) result.push_back((*it)->*member);
  }
  if (state.*global) result.push_back(state.*global);
  return result;
}

template <class Event, class... Args>
void RunAll(const std::vector<Event>& handlers, Args&... args) {
  for (const Event& handler : handlers) {
    RunInRaisingThread([&] { handler(args...); });
  }
}

}  // namespace

void AddEventComponent(TVexlorEventComponent* component) {
  THandlers& state = State();
  std::lock_guard guard(state.Lock);
  auto& list = state.Components;
  if (component && std::find(list.begin(), list.end(), component) == list.end()) {
    list.push_back(component);
  }
}

void RemoveEventComponent(TVexlorEventComponent* component) {
  THandlers& state = State();
  std::lock_guard guard(state.Lock);
  std::erase(state.Components, component);
}

void SetGlobalExceptionNotify(TExceptionNotifyEvent handler) {
  THandlers& state = State();
  std::lock_guard guard(state.Lock);
  state.ExceptionNotify = std::move(handler);
}
void SetGlobalActionNotify(TActionNotifyEvent handler) {
  THandlers& state = State();
  std::lock_guard guard(state.Lock);
  state.ActionNotify = std::move(handler);
}
void SetGlobalErrorNotify(TErrorNotifyEvent handler) {
  THandlers& state = State();
  std::lock_guard guard(state.Lock);
  state.ErrorNotify = std::move(handler);
}

bool HasExceptionNotifyHandlers() {
  return !Handlers(&TVexlorEventComponent::OnExceptionNotify, &THandlers::ExceptionNotify).empty();
}

void RunExceptionNotify(TVexlorExceptionRecord& record, bool& goOn) {
  Trace("RunExceptionNotify");
  RunAll(Handlers(&TVexlorEventComponent::OnExceptionNotify, &THandlers::ExceptionNotify), record,
         goOn);
}

void RunActionNotify(TVexlorExceptionRecord& record, TVexlorAction action, bool& execute) {
  Trace("RunActionNotify", {static_cast<int>(action)});
  RunAll(Handlers(&TVexlorEventComponent::OnActionNotify, &THandlers::ActionNotify), record, action,
         execute);
}

void RunErrorNotify(TVexlorExceptionRecord& record, TVexlorAction action, bool& retry) {
  Trace("RunErrorNotify", {static_cast<int>(action)});
  RunAll(Handlers(&TVexlorEventComponent::OnErrorNotify, &THandlers::ErrorNotify), record, action,
         retry);
}
