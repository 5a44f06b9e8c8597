#include <gtest/gtest.h>

#include "FrontTestSupport.h"

namespace tandor {
namespace {

using test::StageRun;

struct NormaliseCase {
  std::string Typed;
  std::string Normalised; // or the message
};

class NormaliseTable : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseTable, GivesTheExpectedTextOrMessage) {
  const NormaliseCase &c = GetParam();
  EXPECT_EQ(StageRun(c.Typed).Normalise().Result(), c.Normalised) << "typed: " << c.Typed;
}

INSTANTIATE_TEST_SUITE_P(
    Rewrites, NormaliseTable,
    ::testing::Values(
        NormaliseCase{"2u", "2*U"}, NormaliseCase{"u v", "U*V"}, NormaliseCase{"uv", "UV"},
        NormaliseCase{"(u+1)(v-1)", "(U+1)*(V-1)"}, NormaliseCase{"2(u)", "2*(U)"},
        NormaliseCase{"-u^2", "#U^2"}, NormaliseCase{"u**2", "U^2"},
        NormaliseCase{"(-1,5 + u)", "(#1.5+U)"}, NormaliseCase{"2 * -u", "2*-U"},
        // Only a blank separates two numbers or names; tabs and line breaks join them.
        NormaliseCase{"2 3", "2*3"}, NormaliseCase{"2\t3", "23"}, NormaliseCase{"2\n3", "23"},
        NormaliseCase{"2\r\n3", "23"}, NormaliseCase{"u\tv", "UV"}, NormaliseCase{"u  v", "U*V"},
        NormaliseCase{"2,5", "2.5"}, NormaliseCase{"2'5", "2.5"}, NormaliseCase{"2 .5", "2.5"},
        NormaliseCase{"3**2", "3^2"}, NormaliseCase{"3 ** 2", "3^2"}, NormaliseCase{"3^2", "3^2"},
        NormaliseCase{"3*-2", "3*-2"}, NormaliseCase{"u***v", "U^*V"}, NormaliseCase{"+u", "U"},
        NormaliseCase{"(+u)+v", "(U)+V"}, NormaliseCase{"-(-u)", "#(#U)"},
        NormaliseCase{"u+-v", "U+-V"}, NormaliseCase{"[u]{v}", "(U)*(V)"},
        NormaliseCase{"u\\v", "U/V"}, NormaliseCase{"Sin (u)", "SIN(U)"},
        NormaliseCase{"u(v)", "U(V)"}, NormaliseCase{"u 2", "U*2"}, NormaliseCase{"(u)2", "(U)*2"},
        NormaliseCase{"2 (u)", "2*(U)"}, NormaliseCase{"(u)(v)", "(U)*(V)"},
        NormaliseCase{"(u)v", "(U)*V"}, NormaliseCase{"pi u", "PI*U"}, NormaliseCase{"()", "()"},
        NormaliseCase{"( )", "()"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, NormaliseTable,
    ::testing::Values(NormaliseCase{"", "Perhaps you forgot to write something."},
                      NormaliseCase{" \t\r\n ", "Perhaps you forgot to write something."},
                      NormaliseCase{"u + \xc3\xa9", "You did use a character not allowed."},
                      NormaliseCase{"u#v", "You did use a character not allowed."},
                      NormaliseCase{"u=1", "You did use a character not allowed."},
                      NormaliseCase{std::string("u\0v", 3), "You did use a character not allowed."},
                      NormaliseCase{"\xff\x01", "You did use a character not allowed."},
                      NormaliseCase{"(u", "Check, please, the parentheses."},
                      NormaliseCase{"u)", "Check, please, the parentheses."},
                      NormaliseCase{"u)(", "Check, please, the parentheses."},
                      NormaliseCase{")", "Check, please, the parentheses."},
                      NormaliseCase{"((u)", "Check, please, the parentheses."},
                      // The scan stops at the first unmatched ')': what follows is never read.
                      NormaliseCase{"u)\xc3\xa9", "Check, please, the parentheses."},
                      NormaliseCase{"(u\xc3\xa9", "You did use a character not allowed."}));

TEST(Normalise, KeepsTheUpperCaseTextAndLeavesOtherBytesAlone) {
  StageRun run("sin(u)+Cos(v)");
  run.Normalise();
  EXPECT_EQ(run.Context.UpperText, "SIN(U)+COS(V)");
}

} // namespace
} // namespace tandor
