#pragma once
#include <functional>

// Runs body(begin, end) on contiguous slices of [0, count), one slice per
// worker thread (the calling thread takes the first one), and waits for all.
// Slices never get fewer than minPerSlice items, so small jobs stay on the
// calling thread. Each item must be independent of the others: the result is
// then the same whatever the split. The first exception of a slice is
// rethrown after every worker has finished.
void ParallelFor(int count, int minPerSlice, const std::function<void(int, int)>& body);

// Caps the worker threads at count (0 lifts the cap), so that checks can run
// one road with one and with several threads. Returns the previous cap.
int LimitWorkers(int count);
