// The driver-wide scratch array of the spectrum calculations: a capacity and a buffer, kept between calls
// and released when the session closes.
#pragma once

#include <cstdint>
#include <memory>

namespace tevra::spectrum {

class ScratchArray {
 public:
  // A buffer of at least count doubles, or null when count is not positive or memory runs out.
  double* reserve(int32_t count);
  void release();
  int32_t capacity() const { return capacity_; }
  double* data() const { return data_.get(); }

 private:
  std::unique_ptr<double[]> data_;
  int32_t capacity_ = 0;
};

ScratchArray& scratchArray();

}  // namespace tevra::spectrum
