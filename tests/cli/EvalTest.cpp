#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace tandor {
namespace {

struct CliRun {
  int Status;
  std::string Out;
  std::string Err;
};

CliRun RunTandorCli(std::vector<std::string> words) {
  words.insert(words.begin(), "tandor-cli");
  std::vector<char *> argv;
  for (std::string &w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  std::ostringstream out, err;
  const int status = RunCli(static_cast<int>(words.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

struct EvalCase {
  std::vector<std::string> Words; // after "eval"
  std::string Out;
};

class EvalOutput : public ::testing::TestWithParam<EvalCase> {};

TEST_P(EvalOutput, PrintsTheExpectedLines) {
  std::vector<std::string> words = GetParam().Words;
  words.insert(words.begin(), "eval");
  const CliRun run = RunTandorCli(words);
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, GetParam().Out);
  EXPECT_EQ(run.Err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EvalOutput,
    ::testing::Values(
        EvalCase{{"cos(pi/sqrt(5))"}, "value 0.16507433576456079\n"},
        EvalCase{{"-1,5"}, "value -1.5\n"}, EvalCase{{"2 3"}, "value 6\n"},
        EvalCase{{"1/3"}, "value 0.33333333333333331\n"},
        EvalCase{{"2^10", "--postfix"}, "value 1024\npostfix 2 sqr sqr 2 * sqr\n"},
        EvalCase{{"--at", "2,3", "u v + 2"}, "value 8\n"},
        EvalCase{{"--at", "2,3", "-p", "0.5", "-q", "-2", "p u + q v"}, "value -5\n"},
        EvalCase{{"--at", "2,3", "--postfix", "u v + 2"}, "value 8\npostfix u v * 2 +\n"},
        EvalCase{{"--at", "1,2", "--linear", "3.2 u + q v"},
                 "value 3.2000000000000002\nlinear yes\nterms u 5 1 1 v 4 1 1\n"},
        EvalCase{{"--linear", "--at", "1,2", "u + 1"}, "value 2\nlinear no\n"},
        EvalCase{{"--at", "-1,0.5", "--", "-u"}, "value 1\n"},
        EvalCase{{"--at", "+1,-2.5e1", "u+v"}, "value -24\n"},
        EvalCase{{"--at", "2,3", "--dir", "1,0", "u v"}, "value 6\nderivative 3\n"},
        EvalCase{
            {"--at", "2,3", "--dir", "0,1", "--linear", "--postfix", "pu - qv", "-p", "2"},
            "value 4\nderivative 0\nlinear yes\nterms u 3 1 1 v 4 -1 1\npostfix p u * q v * -\n"}));

struct FailureCase {
  std::vector<std::string> Words;
  int Status;
  std::string Err; // exact text for status 1, a fragment for status 2
};

class EvalFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(EvalFailure, ReportsOnStandardErrorOnly) {
  const FailureCase &c = GetParam();
  const CliRun run = RunTandorCli(c.Words);
  EXPECT_EQ(run.Status, c.Status);
  EXPECT_EQ(run.Out, "");
  if (c.Status == 1) {
    EXPECT_EQ(run.Err, c.Err);
  } else {
    EXPECT_NE(run.Err.find(c.Err), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("usage: tandor-cli"), std::string::npos) << run.Err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, EvalFailure,
    ::testing::Values(
        FailureCase{{"eval", "cos(pi"}, 1, "Check, please, the parentheses.\n"},
        FailureCase{
            {"eval", "--at", "0,0", "u+a"}, 1, "Some function or variable was miswritten.\n"},
        FailureCase{{"eval", "--at", "0,0", "--postfix", "u*-v"},
                    1,
                    "There is a sintax defect in the formula.\n"},
        FailureCase{{"eval", "u"}, 1, "A constant may not use the letters p to z (pi excepted).\n"},
        FailureCase{{"eval", ""}, 1, "Perhaps you forgot to write something.\n"},
        FailureCase{{"eval"}, 2, "FORMULA is missing"},
        FailureCase{{"eval", "u", "v"}, 2, "only one FORMULA"},
        FailureCase{{"eval", "--at", "1", "u"}, 2, "--at needs two numbers"},
        FailureCase{{"eval", "--at", "1,x", "u"}, 2, "--at needs two numbers"},
        FailureCase{{"eval", "u", "--at"}, 2, "--at needs two numbers"},
        FailureCase{{"eval", "-p", "z", "--at", "1,1", "u"}, 2, "-p needs a number"},
        FailureCase{{"eval", "--bogus", "u"}, 2, "unknown option --bogus"},
        FailureCase{{"eval", "--dir", "1,0", "2"}, 2, "need --at"},
        FailureCase{{"eval", "--linear", "2"}, 2, "need --at"}, FailureCase{{}, 2, "commands:"},
        FailureCase{{"draw"}, 2, "unknown command 'draw'"}));

TEST(Eval, HelpExplainsTheCommand) {
  const CliRun run = RunTandorCli({"eval", "--help"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out.rfind("usage: tandor-cli eval", 0), 0u);
  for (const char *word : {"--at", "--dir", "--linear", "--postfix", "neg", "arcsinh"})
    EXPECT_NE(run.Out.find(word), std::string::npos) << word;
  const CliRun top = RunTandorCli({"--help"});
  EXPECT_EQ(top.Status, 0);
  EXPECT_NE(top.Out.find("eval"), std::string::npos);
  EXPECT_NE(top.Out.find("render"), std::string::npos);
}

} // namespace
} // namespace tandor
