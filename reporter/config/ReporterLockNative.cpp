#include "reporter/config/ReporterLock.h"

bool TVexlorLock::Acquire() {
  FMutex.lock();
  return false;
}

void TVexlorLock::Release() {
  FMutex.unlock();
}

void TVexlorLock::Recover() {
  // No thread ends holding the lock here: nothing is ever taken over.
}
