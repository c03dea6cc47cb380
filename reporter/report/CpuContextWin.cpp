// The integer registers copied out of a Windows CONTEXT.
#include "reporter/report/CpuContextWin.h"

TReportCpuContext ReportCpuContextOf(const CONTEXT& context) {
  TReportCpuContext result;
  result.Rax = context.Rax;
  result.Rbx = context.Rbx;
  result.Rcx = context.Rcx;
  result.Rdx = context.Rdx;
  result.Rsi = context.Rsi;
  result.Rdi = context.Rdi;
  result.Rsp = context.Rsp;
  result.Rip = context.Rip;
  result.R8 = context.R8;
  result.R9 = context.R9;
  result.R10 = context.R10;
  result.R11 = context.R11;
  result.R12 = context.R12;
  result.R13 = context.R13;
  result.R14 = context.R14;
  result.R15 = context.R15;
  return result;
}
