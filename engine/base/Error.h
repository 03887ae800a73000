#pragma once
#include <stdexcept>
#include <string>

// The general error of the program: an exception carrying a message text that
// the front ends show to the user as it stands.
class EError : public std::runtime_error {
public:
    explicit EError(const std::string& message) : std::runtime_error(message) {}
};
