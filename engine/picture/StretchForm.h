#pragma once

// The vector forms of the fast resampling passes (StretchSse2.h), narrowest
// first. Every form gives the same bytes; the widest the processor runs is
// taken unless a cap says otherwise.
enum class TStretchForm { Sse2, Avx2 };

// The widest form this processor runs (asked of the processor once).
TStretchForm WidestStretchForm();

// Caps the form the passes take, so that checks and benchmarks can run each
// form in one program; a cap above WidestStretchForm() takes the widest.
// Returns the previous cap.
TStretchForm LimitStretchForm(TStretchForm form);
