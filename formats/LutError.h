#pragma once
#include "engine/base/Error.h"

// The error every LUT format raises for a file it cannot use.
class ELUTError : public EError {
public:
    using EError::EError;
};
