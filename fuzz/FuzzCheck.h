#pragma once
// What the harnesses share: a check that stops the run with a readable account of the input,
// so that libFuzzer keeps the input as a crash and the replay program fails.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tandor::fuzzing {

// The bytes of an input as a C string literal would spell them.
inline std::string Escaped(std::string_view bytes) {
  std::string text;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\' || c == '"') {
      text += '\\';
      text += ch;
    } else if (c >= 0x20 && c < 0x7f) {
      text += ch;
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      text += code;
    }
  }
  return text;
}

// explain is only called when the check fails, so building the account costs nothing otherwise.
template <typename Explain> void Require(bool holds, Explain &&explain) {
  if (holds)
    return;
  const std::string account = explain();
  std::fprintf(stderr, "\nCHECK FAILED: %s\n", account.c_str());
  std::abort();
}

} // namespace tandor::fuzzing
