// The web-server request the calling thread serves: the extension control
// block that the reporter's ISAPI entry records while the request runs
// through the module, for the error page a report writes back. Requests run
// concurrently, so it is kept per thread and read in the raising thread.
#pragma once

// Null outside a request.
void* CurrentExtensionControlBlock();
void SetCurrentExtensionControlBlock(void* block);
