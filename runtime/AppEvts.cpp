// An events component registers its filter with the application for as long
// as it lives.
#include "runtime/AppEvts.h"

#include "runtime/Forms.h"

TApplicationEvents::TApplicationEvents(TComponent* AOwner) : TComponent(AOwner) {
  if (Application) Application->AddMessageFilter(this);
}

TApplicationEvents::~TApplicationEvents() {
  if (Application) Application->RemoveMessageFilter(this);
}
