#pragma once
// Helpers for the tests of the compiler's front end: run the stages one by one and show token
// strings readably, an operand pair with index k as {k}.

#include <string>
#include <string_view>

#include "formula/CompileContext.h"

namespace tandor::test {

inline std::string Readable(std::string_view tokens) {
  std::string text;
  for (std::size_t i = 0; i < tokens.size(); i += TokenLength(tokens, i)) {
    if (static_cast<unsigned char>(tokens[i]) == OperandMarker && i + 1 < tokens.size())
      text.append("{")
          .append(std::to_string(static_cast<unsigned char>(tokens[i + 1])))
          .append("}");
    else
      text += tokens[i];
  }
  return text;
}

// The inverse of Readable, for writing token strings in tables.
inline std::string Tokens(std::string_view readable) {
  std::string tokens;
  for (std::size_t i = 0; i < readable.size(); ++i) {
    if (readable[i] != '{') {
      tokens += readable[i];
      continue;
    }
    const std::size_t close = readable.find('}', i);
    tokens += static_cast<char>(OperandMarker);
    tokens += static_cast<char>(std::stoi(std::string(readable.substr(i + 1, close - i - 1))));
    i = close;
  }
  return tokens;
}

// One formula run through the stages up to a chosen one; WorkText holds the result.
struct StageRun {
  TOCFunctDDDoubleSafe Formula;
  CompileContext Context{Formula};
  std::string Message;

  StageRun(std::string_view text, std::string_view variables = "uv",
           std::string_view parameters = "pq") {
    Context.WorkText = std::string(text);
    Message = std::string(PrepareCompile(Context, variables, parameters));
  }
  StageRun &Normalise() {
    if (Message.empty())
      Message = std::string(NormaliseFormula(Context));
    return *this;
  }
  StageRun &Tokenise() {
    Normalise();
    if (Message.empty())
      Message = std::string(TokeniseFormula(Context));
    return *this;
  }
  StageRun &Expand() {
    Tokenise();
    if (Message.empty())
      Message = std::string(CheckSyntax(Context.WorkText));
    if (Message.empty())
      ExpandIntegerPowers(Context);
    return *this;
  }
  // The readable working text, or the message when a stage failed.
  std::string Result() const { return Message.empty() ? Readable(Context.WorkText) : Message; }
};

// Compiles with the program's letters and answers the postfix text or the message.
inline std::string PostfixOf(std::string_view text, std::string_view variables = "uv",
                             std::string_view parameters = "pq") {
  TOCFunctDDDoubleSafe formula;
  bool linear = false;
  std::string message;
  formula.Compile(text, variables, parameters, linear, message);
  return message.empty() ? formula.PostfixText() : message;
}

} // namespace tandor::test
