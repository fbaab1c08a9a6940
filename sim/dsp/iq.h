// IQ samples and the power arithmetic that every block shares. Sample values are in square-root milliwatts
// wherever a level matters, so that |x|^2 is a power in mW.
#pragma once

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <new>
#include <vector>

// Marks a function whose loops vectorize: GCC builds it for the baseline x86-64 and again for x86-64-v3 (AVX2
// and FMA) and x86-64-v4 (AVX-512), and picks one when the program loads.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TEVRA_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define TEVRA_VECTOR_CLONES
#endif

namespace tevra::dsp {

using Complex = std::complex<double>;
using Samples = std::vector<Complex>;

// The alignment of the arrays that the widest vector loops read whole: a 64-byte load from an address that
// is not a multiple of 64 spans two cache lines.
inline constexpr size_t kVectorAlignment = 64;

// An allocator of kVectorAlignment-aligned arrays, for vectors that those loops read.
template <typename T>
struct AlignedAllocator {
  using value_type = T;
  AlignedAllocator() = default;
  template <typename U>
  explicit AlignedAllocator(const AlignedAllocator<U>& /*other*/) {}
  T* allocate(size_t count) {
    return static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{kVectorAlignment}));
  }
  void deallocate(T* values, size_t /*count*/) {
    ::operator delete (values, std::align_val_t{kVectorAlignment});
  }
  template <typename U>
  bool operator==(const AlignedAllocator<U>& /*other*/) const {
    return true;
  }
};

using AlignedDoubles = std::vector<double, AlignedAllocator<double>>;

inline constexpr double kPi = 3.14159265358979323846;

inline double toDb(double ratio) {
  return 10.0 * std::log10(ratio > 0 ? ratio : 1e-30);
}
inline double fromDb(double db) {
  return std::pow(10.0, db / 10.0);
}

// a * b without the library's recovery of infinite operands, which finite samples never need and which
// keeps a loop of products from vectorizing.
inline Complex multiplied(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Mean of |x|^2 over [first, first + count), clipped to the samples.
double meanPower(const Samples& x, size_t first = 0, size_t count = static_cast<size_t>(-1));
double peakPower(const Samples& x);
// Mean power over the samples that are not exactly zero (the idle gaps of a burst waveform are zero).
double activePower(const Samples& x);
void scale(Samples& x, double factor);
// Multiplies by exp(j 2 pi hz t), t = n / rate, starting at phase 0.
void shiftFrequency(Samples& x, double hz, double rateHz);
// exp(j step m) for m = 0..63.
using TurnTable = std::array<Complex, 64>;
TurnTable turnTable(double step);
// in[m] times phasor * turn[m] into out[m], for m < count (turn: a turnTable() or a part of one). `out` is
// `in` or apart from it.
void turnBlock(const Complex* in, Complex* out, const Complex* turn, Complex phasor, size_t count);
// Multiplies x[n] by exp(j step n) for from <= n < to.
void rotate(Samples& x, size_t from, double step, size_t to = static_cast<size_t>(-1));
// in[n] exp(j step n) into out[n] for n < count; `out` may be `in`.
void turnInto(const Complex* in, size_t count, double step, Complex* out);
// The angle of each of `count` values into `out`, as std::arg() gives it to within 1e-11 radian, in a loop
// that vectorizes (the library's atan2 is a call per value).
void phasesOf(const Complex* values, size_t count, double* out);
// toDb() of each of `count` ratios into `out`, to within 1e-12 dB, in a loop that vectorizes (the library's
// log10 is a call per value). Ratios beyond the normal doubles read as the nearest one.
void decibelsOf(const double* ratios, size_t count, double* out);
// x delayed by a fraction of a sample (negative: advanced), as a band-limited signal; the ends wrap.
Samples fractionalDelay(const Samples& x, double samples);

// The least-squares straight line through values at 0, 1, 2, ...: its value at 0 and its slope.
struct Line {
  double start = 0;
  double slope = 0;
};
Line fitLine(const std::vector<double>& values);
// The nearest integer (ties to even) by arithmetic alone, for |value| below 2^51: 1.5 * 2^52 added leaves
// no fraction bits, so taking it off again gives the rounded value. No call and no branch, so loops using
// it vectorize.
inline double roundedToInteger(double value) {
  constexpr double kRounding = 6755399441055744.0;
  return (value + kRounding) - kRounding;
}

// Unwraps a phase onto the one before it (the nearest value modulo `period`), without the library's
// remainder, a call of its own per symbol.
inline double unwrapOnto(double phase, double previous, double period = 2 * kPi) {
  return phase - roundedToInteger((phase - previous) * (1.0 / period)) * period;
}

}  // namespace tevra::dsp
