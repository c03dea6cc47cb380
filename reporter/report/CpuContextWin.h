// The registers of a live x64 context as the report prints them (Windows).
#pragma once

#include <windows.h>

#include "reporter/report/CpuBlock.h"

TReportCpuContext ReportCpuContextOf(const CONTEXT& context);
