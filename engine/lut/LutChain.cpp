#include "engine/lut/LutChain.h"

#include <algorithm>

#include "engine/footage/DistinctColours.h"

void TLutChain::Append(std::shared_ptr<const TLutOperation> operation) { operations_.push_back(std::move(operation)); }

void TLutChain::Apply(TRGBDouble& colour) const {
    for (const auto& operation : operations_) operation->Apply(colour);
}

bool TLutChain::PerChannel() const {
    return std::all_of(operations_.begin(), operations_.end(),
                       [](const auto& operation) { return operation->PerChannel(); });
}

TColourMemo& TLutChain::Memo() const {
    std::call_once(memoMade_, [this] { memo_ = std::make_shared<TColourMemo>(); });
    return *memo_;
}
