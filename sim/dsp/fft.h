// A discrete Fourier transform of one size on FFTW, planned once and reused.
#pragma once

#include <memory>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

class Fft {
 public:
  enum class Direction { kForward, kInverse };

  // `slices` sets of buffers, so that a caller may fill several inputs, transform them one after another and
  // then read the outputs: the transforms run back to back.
  Fft(size_t size, Direction direction, size_t slices = 1);
  ~Fft();
  Fft(const Fft&) = delete;
  Fft& operator=(const Fft&) = delete;

  size_t size() const { return size_; }
  // Unnormalised: X[k] = sum x[n] e^(-+j 2 pi k n / N). `in` and `out` hold size() values each.
  void run(const Complex* in, Complex* out);
  // The transform on the plan's own buffers, for callers that fill the input and read the output in place
  // (saving the copies of run()); `slice` is below the constructor's `slices`.
  Complex* input(size_t slice = 0);
  const Complex* output(size_t slice = 0) const;
  void execute(size_t slice = 0);

 private:
  struct Plan;
  size_t size_;
  size_t stride_;  // between slices, in values
  std::unique_ptr<Plan> plan_;
};

}  // namespace tevra::dsp
