// Whether the calling thread is ending: running its thread_local destructors
// (the link step routes their registration through the reporter) or a TLS
// callback or a library's entry point (it holds the loader lock). Such a
// thread holds locks of the C++ runtime, the threads library or the loader;
// ended alone after a report, it would leave them held and the rest of the
// program waiting for ever, so the report's end is the process's end.
#pragma once

bool ThisThreadIsEnding();
