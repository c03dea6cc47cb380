// Threads are followed from their creation: every thread the executable
// creates gets a record (with, once resumed, a copy of its creator's stack),
// and threads that are not the class library's run inside the reporter's
// wrapper.
#pragma once

#include <windows.h>

class TVexlorThreadsList;

// Installs the CreateThread, ResumeThread and ExitThread import hooks of the
// executable; the real functions are resolved in every case.
void InstallThreadHooks(TVexlorThreadsList* threads);
// Forgets the list (the import slots are restored with every other hook).
void RemoveThreadHooks();

// The class library's thread procedure: it catches what escapes a thread's
// Execute, so the first catch there means "report now".
void SetClassLibraryThreadProc(LPTHREAD_START_ROUTINE proc);
