#pragma once
#include <cstdint>

// IEEE 754 half-precision (16-bit) numbers as the tables of half-domain
// curves index them.

// The value of a half-float bit pattern (infinities and NaN included).
double HalfToDouble(std::uint16_t bits);

// The bit pattern of the half nearest to zero among the two that bracket x
// (x itself when it is a half); magnitudes above the largest finite half
// give the largest finite half, with x's sign. NaN gives 0.
std::uint16_t HalfTowardZero(double x);
