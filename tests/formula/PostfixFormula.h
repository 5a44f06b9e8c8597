#pragma once
// Builds compiled formulas straight from a postfix spelling, so the evaluators can be tested
// apart from the front end: "u v * 2.5 +" with the variables u, v and the parameters p, q.

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "formula/FormulaCompiler.h"

namespace tandor::test {

inline const std::map<std::string, char> &FunctionCodes() {
  static const std::map<std::string, char> codes = {
      {"cos", 'A'},  {"sin", 'B'},  {"exp", 'C'},  {"sqr", 'D'},   {"sqrt", 'E'},  {"ln", 'F'},
      {"tan", 'G'},  {"sinh", 'H'}, {"cosh", 'I'}, {"tanh", 'J'},  {"asin", 'K'},  {"acos", 'L'},
      {"atan", 'M'}, {"abs", 'N'},  {"cot", 'O'},  {"acosh", 'P'}, {"atanh", 'Q'}, {"asinh", 'R'}};
  return codes;
}

// Fills Postfix, Constants and the counts as a compile would, then generates both evaluators.
inline void LoadPostfix(TOCFunctDDDoubleSafe &f, std::string_view spelling,
                        std::string_view variables = "uv", std::string_view parameters = "pq") {
  f.VariableCount = static_cast<int32_t>(variables.size());
  f.ParameterCount = static_cast<int32_t>(parameters.size());
  f.Constants.assign(f.ParameterCount + 1, 0.0);
  f.Postfix.clear();
  std::istringstream words{std::string(spelling)};
  std::string word;
  const auto operand = [&](std::size_t k) {
    f.Postfix += static_cast<char>(OperandMarker);
    f.Postfix += static_cast<char>(k);
  };
  while (words >> word) {
    if (word.size() == 1 && variables.find(word[0]) != std::string_view::npos) {
      operand(variables.find(word[0]) + 1);
    } else if (word.size() == 1 && parameters.find(word[0]) != std::string_view::npos) {
      operand(variables.size() + parameters.find(word[0]) + 1);
    } else if (word == "1") {
      f.Postfix += '1';
    } else if (word == "pi") {
      f.Postfix += 'p';
    } else if (word == "neg") {
      f.Postfix += '#';
    } else if (word == "+" || word == "-" || word == "*" || word == "/") {
      f.Postfix += word;
    } else if (FunctionCodes().contains(word)) {
      f.Postfix += FunctionCodes().at(word);
    } else {
      f.Constants.push_back(std::strtod(word.c_str(), nullptr));
      operand(variables.size() + f.Constants.size() - 1);
    }
  }
  f.GenerateValueCode();
  f.GenerateDerivativeCode();
}

inline std::unique_ptr<TOCFunctDDDoubleSafe> PostfixFormula(std::string_view spelling) {
  auto f = std::make_unique<TOCFunctDDDoubleSafe>();
  LoadPostfix(*f, spelling);
  return f;
}

} // namespace tandor::test
