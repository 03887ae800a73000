#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/lut/LUT.h"

class TColourMemo;

// One step of a LUT read from a file: a matrix, a curve, a cube, a range, a
// log or exponent function or a colour decision. Operations work on
// normalised values (1.0 is full scale) in double precision and may take
// and give values outside 0..1.
class TLutOperation {
public:
    virtual ~TLutOperation() = default;
    virtual void Apply(TRGBDouble& colour) const = 0;
    // True when each channel's result depends on that channel alone.
    virtual bool PerChannel() const = 0;
};

// A LUT file as its maker meant it: operations applied in order. Built once
// by a reader and then only read, so one chain serves any number of threads.
class TLutChain {
public:
    void Append(std::shared_ptr<const TLutOperation> operation);
    void Apply(TRGBDouble& colour) const;
    bool PerChannel() const;
    std::size_t Size() const { return operations_.size(); }
    const TLutOperation& At(std::size_t index) const { return *operations_[index]; }
    // The operation shared, for a chain built from this one.
    std::shared_ptr<const TLutOperation> Share(std::size_t index) const { return operations_[index]; }

    // The 8-bit results of this chain found so far (DistinctColours.h), made
    // on first use: the strips of one picture and the pictures of a batch
    // share them.
    TColourMemo& Memo() const;

private:
    std::vector<std::shared_ptr<const TLutOperation>> operations_;
    mutable std::once_flag memoMade_;
    mutable std::shared_ptr<TColourMemo> memo_;
};
