// The safe-call mark: one byte in named shared memory. An exception reported
// inside a safe-call boundary sets it; the pipeline consumes it once, at the
// re-raise of that exception from its HRESULT at the COM caller. The name
// carries no process id: every process of the logon shares the block.
#pragma once

bool OpenSafeCallMark();  // creates or opens the block, byte 0
void CloseSafeCallMark();
void SetSafeCallMark();
// True (and the byte reset to 0) when the mark was set.
bool ConsumeSafeCallMark();
