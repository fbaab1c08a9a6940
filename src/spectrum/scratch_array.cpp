#include "src/spectrum/scratch_array.h"

#include <new>

namespace tevra::spectrum {

double* ScratchArray::reserve(int32_t count) {
  if (count <= 0) return nullptr;
  if (count > capacity_) {
    std::unique_ptr<double[]> grown(new (std::nothrow) double[static_cast<size_t>(count)]);
    if (!grown) return nullptr;
    data_ = std::move(grown);
    capacity_ = count;
  }
  return data_.get();
}

void ScratchArray::release() {
  data_.reset();
  capacity_ = 0;
}

ScratchArray& scratchArray() {
  static ScratchArray scratch;
  return scratch;
}

}  // namespace tevra::spectrum
