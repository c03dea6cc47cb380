// The reporter's lock natively: a plain mutex, since no thread here ends
// holding it.
#include "reporter/config/ReporterLock.h"

// No thread here ends holding the lock, so nothing is ever taken over.
bool TVexlorLock::Acquire() {
  FMutex.lock();
  return false;
}

void TVexlorLock::Release() {
  FMutex.unlock();
}

void TVexlorLock::Recover() {
  if (!FRecovery) return;
  try {
    FRecovery(FContext);
  } catch (...) {
  }
}
