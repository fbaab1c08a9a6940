#include "sim/dsp/fft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace tevra::dsp {
namespace {

// FFTW's planner is not reentrant.
std::mutex& plannerMutex() {
  static std::mutex mutex;
  return mutex;
}

// The buffers are aligned for the widest vector loops that fill and read them (FFTW's own allocation aligns
// for its 32-byte vectors only).
fftw_complex* allocate(size_t count) {
  return static_cast<fftw_complex*>(
      ::operator new (count * sizeof(fftw_complex), std::align_val_t{kVectorAlignment}));
}

void release(fftw_complex* values) {
  ::operator delete (values, std::align_val_t{kVectorAlignment});
}

}  // namespace

struct Fft::Plan {
  fftw_complex* in = nullptr;
  fftw_complex* out = nullptr;
  fftw_plan plan = nullptr;
};

// Slices start a multiple of kVectorAlignment apart, so that each has the alignment of the first, which
// FFTW's vector code was planned for.
constexpr size_t kSliceAlignment = kVectorAlignment / sizeof(fftw_complex);

Fft::Fft(size_t size, Direction direction, size_t slices)
    : size_(size),
      stride_((size + kSliceAlignment - 1) / kSliceAlignment * kSliceAlignment),
      plan_(std::make_unique<Plan>()) {
  std::lock_guard lock(plannerMutex());
  plan_->in = allocate(stride_ * std::max<size_t>(slices, 1));
  plan_->out = allocate(stride_ * std::max<size_t>(slices, 1));
  plan_->plan =
      fftw_plan_dft_1d(static_cast<int>(size), plan_->in, plan_->out,
                       direction == Direction::kForward ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_ESTIMATE);
}

Fft::~Fft() {
  std::lock_guard lock(plannerMutex());
  fftw_destroy_plan(plan_->plan);
  release(plan_->in);
  release(plan_->out);
}

void Fft::run(const Complex* in, Complex* out) {
  // std::complex<double> has the layout of fftw_complex.
  std::copy(in, in + size_, reinterpret_cast<Complex*>(plan_->in));
  fftw_execute(plan_->plan);
  std::copy(reinterpret_cast<Complex*>(plan_->out), reinterpret_cast<Complex*>(plan_->out) + size_, out);
}

Complex* Fft::input(size_t slice) {
  return reinterpret_cast<Complex*>(plan_->in + stride_ * slice);
}

const Complex* Fft::output(size_t slice) const {
  return reinterpret_cast<const Complex*>(plan_->out + stride_ * slice);
}

void Fft::execute(size_t slice) {
  if (slice == 0)
    fftw_execute(plan_->plan);
  else
    fftw_execute_dft(plan_->plan, plan_->in + stride_ * slice, plan_->out + stride_ * slice);
}

Samples fractionalDelay(const Samples& x, double samples) {
  if (samples == 0.0 || x.empty()) return x;
  size_t n = 1;
  while (n < x.size()) n *= 2;
  Samples padded(x);
  padded.resize(n);
  Samples bins(n), out(n);
  Fft(n, Fft::Direction::kForward).run(padded.data(), bins.data());
  for (size_t k = 0; k < n; ++k) {
    double f = static_cast<double>(k) - (k < n / 2 ? 0.0 : static_cast<double>(n));
    bins[k] *= std::polar(1.0 / static_cast<double>(n), -2.0 * kPi * f * samples / static_cast<double>(n));
  }
  Fft(n, Fft::Direction::kInverse).run(bins.data(), out.data());
  out.resize(x.size());
  return out;
}

}  // namespace tevra::dsp
