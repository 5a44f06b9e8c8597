#pragma once
#include <stdexcept>
#include <string>

namespace tandor {

// An input the user must correct; the message is shown to the user exactly as it stands.
class InputError : public std::runtime_error {
public:
  explicit InputError(const std::string &message) : std::runtime_error(message) {}
};

} // namespace tandor
