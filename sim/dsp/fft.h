// A discrete Fourier transform of one size on FFTW, planned once and reused.
#pragma once

#include <memory>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

class Fft {
 public:
  enum class Direction { kForward, kInverse };

  Fft(size_t size, Direction direction);
  ~Fft();
  Fft(const Fft&) = delete;
  Fft& operator=(const Fft&) = delete;

  size_t size() const { return size_; }
  // Unnormalised: X[k] = sum x[n] e^(-+j 2 pi k n / N). `in` and `out` hold size() values each.
  void run(const Complex* in, Complex* out);
  // The transform on the plan's own buffers, for callers that fill the input and read the output in place
  // (saving the copies of run()).
  Complex* input();
  const Complex* output() const;
  void execute();

 private:
  struct Plan;
  size_t size_;
  std::unique_ptr<Plan> plan_;
};

}  // namespace tevra::dsp
