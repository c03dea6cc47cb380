// Procedure names of every kind split into unit, class and procedure.
#include "reporter/debugdata/ProcedureName.h"

#include <gtest/gtest.h>

namespace {

TVexlorDebugInfo Parse(const std::string& name, bool expected = true) {
  TVexlorDebugInfo info;
  info.Kind = dikModule;
  EXPECT_EQ(ParseProcedureName(name, info), expected) << name;
  return info;
}

TEST(ParseProcedureName, AtMangledNamesGiveUnitClassAndMethod) {
  TVexlorDebugInfo info = Parse("@Forms@TApplication@HandleException$qqrp14System@TObject");
  EXPECT_EQ(info.Kind, dikExportName);
  EXPECT_EQ(info.UnitName, "Forms.cpp");
  EXPECT_EQ(info.ClassName, "TApplication");
  EXPECT_EQ(info.ProcedureName, "HandleException");

  info = Parse("@Sysutils@Format$qqrx17System@AnsiString");
  EXPECT_EQ(info.UnitName, "Sysutils.cpp");
  EXPECT_EQ(info.ClassName, "");
  EXPECT_EQ(info.ProcedureName, "Format");

  // "@@" marks a name that starts with "@"; the character after a separator
  // belongs to the next part.
  info = Parse("@Unit@@Init$qqrv");
  EXPECT_EQ(info.UnitName, "Unit.cpp");
  EXPECT_EQ(info.ProcedureName, "_Init");
  // "@$" names (compiler helpers) are no unit names, just procedures.
  info = Parse("@$xp$5Forms");
  EXPECT_EQ(info.Kind, dikProcedure);
  EXPECT_EQ(info.ProcedureName, "_$xp$5Forms");
}

TEST(ParseProcedureName, DottedPlainAndForeignNames) {
  TVexlorDebugInfo info = Parse("Streams.TStream.Read@12");
  EXPECT_EQ(info.UnitName, "Streams.cpp");
  EXPECT_EQ(info.ClassName, "TStream");
  EXPECT_EQ(info.ProcedureName, "Read");

  info = Parse("CreateFileW");
  EXPECT_EQ(info.Kind, dikProcedure);
  EXPECT_EQ(info.UnitName, "");
  EXPECT_EQ(info.ProcedureName, "CreateFileW");

  // Four parts fit no shape; MSVC-mangled names are left alone.
  EXPECT_EQ(Parse("a.b.c.d", false).Kind, dikModule);
  EXPECT_EQ(Parse("?Run@TApp@@QAEXXZ", false).Kind, dikModule);
}

TEST(ParseProcedureName, CppMangledExportsAreDemangledAndSplit) {
  TVexlorDebugInfo info = Parse("_ZN2vp9TVideoWin4PlayEv");
  EXPECT_EQ(info.Kind, dikExportName);
  EXPECT_EQ(info.ClassName, "vp::TVideoWin");
  EXPECT_EQ(info.ProcedureName, "Play");

  info = Parse("_Z7ComputeIiET_S0_");
  EXPECT_EQ(info.Kind, dikProcedure);
  EXPECT_EQ(info.ClassName, "");
  EXPECT_EQ(info.ProcedureName, "Compute<int>");
}

TEST(SplitDemangledName, ScopesTemplatesOperatorsAndLambdas) {
  struct Case {
    const char* text;
    const char* scope;
    const char* name;
  } cases[] = {
      {"ns::A<int, std::allocator<int> >::push_back(int const&)",
       "ns::A<int, std::allocator<int> >", "push_back"},
      {"int ns::max<int>(int, int)", "ns", "max<int>"},
      {"void f<2>()", "", "f<2>"},
      {"A::operator()(int) const", "A", "operator()"},
      {"A::operator<(A const&) const", "A", "operator<"},
      {"std::ostream& operator<<(std::ostream&, A const&)", "", "operator<<"},
      {"A::operator new(unsigned long)", "A", "operator new"},
      {"main::{lambda(int)#1}::operator()(int) const", "main::{lambda(int)#1}", "operator()"},
      {"(anonymous namespace)::Helper(char const*)", "(anonymous namespace)", "Helper"},
      {"foo(int) [clone .constprop.0]", "", "foo"},
      {"main", "", "main"},
  };
  for (const Case& c : cases) {
    std::string scope, name;
    SplitDemangledName(c.text, scope, name);
    EXPECT_EQ(scope, c.scope) << c.text;
    EXPECT_EQ(name, c.name) << c.text;
  }
}

}  // namespace
