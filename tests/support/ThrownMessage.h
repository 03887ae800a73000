#pragma once
#include <functional>
#include <string>

#include "engine/base/Error.h"

// The message of the error the action throws; "(no error)" when it throws none.
inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EError& error) {
        return error.what();
    }
    return "(no error)";
}
