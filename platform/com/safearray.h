// One-dimensional arrays with the ownership rules of SAFEARRAY: the array owns its elements (BSTR elements
// are freed with it), SafeArrayDestroy refuses a locked array, and element access copies texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/com/hresult.h"

namespace tevra::platform {

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;

// Feature flags of an array, as SAFEARRAY keeps them.
inline constexpr uint16_t FADF_HAVEVARTYPE = 0x0080;
inline constexpr uint16_t FADF_BSTR = 0x0100;

inline constexpr uint32_t kMaxArrayDimensions = 8;

struct SAFEARRAYBOUND {
  uint32_t elements = 0;
  int32_t lowerBound = 0;
};

struct SAFEARRAY {
  VARTYPE vt = VT_EMPTY;
  uint16_t dimensions = 1;
  uint16_t features = 0;
  uint32_t elementSize = 0;
  uint32_t count = 0;  // elements in all dimensions
  uint32_t locks = 0;
  void* data = nullptr;
  SAFEARRAYBOUND bounds[kMaxArrayDimensions] = {};  // dimension 1 first
};

// VT_I2, VT_I4, VT_R8, VT_BSTR and VT_BOOL; null for another type or when memory runs out.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count);
// An array of 1 to kMaxArrayDimensions dimensions (bounds[0] is dimension 1); null as above.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t dimensions, const SAFEARRAYBOUND* bounds);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy);
uint32_t SafeArrayGetDim(const SAFEARRAY* array);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);
HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt);
HRESULT SafeArrayGetLBound(const SAFEARRAY* array, uint32_t dimension, int32_t* bound);
HRESULT SafeArrayGetUBound(const SAFEARRAY* array, uint32_t dimension, int32_t* bound);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
// Copies element *index into element (a BSTR element is copied; the caller frees it).
HRESULT SafeArrayGetElement(const SAFEARRAY* array, const int32_t* index, void* element);
// Copies element into the array (a BSTR is copied; the array frees the old one).
HRESULT SafeArrayPutElement(SAFEARRAY* array, const int32_t* index, const void* element);

struct SafeArrayDeleter {
  void operator()(SAFEARRAY* array) const { SafeArrayDestroy(array); }
};
using SafeArrayPtr = std::unique_ptr<SAFEARRAY, SafeArrayDeleter>;

// An array that a call handed over, owned until destroyed: its lock, unlock, bounds and destroy steps
// return their HRESULTs so that a caller can report each where it failed. A null array is a valid, empty
// handle. Whatever is still held when the handle goes is unlocked and destroyed.
class SafeArrayHandle {
 public:
  SafeArrayHandle() = default;
  explicit SafeArrayHandle(SAFEARRAY* array) : array_(array) {}
  SafeArrayHandle(SafeArrayHandle&& other) noexcept;
  SafeArrayHandle& operator=(SafeArrayHandle&& other) noexcept;
  SafeArrayHandle(const SafeArrayHandle&) = delete;
  SafeArrayHandle& operator=(const SafeArrayHandle&) = delete;
  ~SafeArrayHandle() { reset(); }

  bool null() const { return array_ == nullptr; }
  SAFEARRAY* get() const { return array_; }
  // VT_EMPTY, 0 and 0 for a null array.
  VARTYPE elementType() const { return array_ == nullptr ? VT_EMPTY : array_->vt; }
  uint16_t features() const { return array_ == nullptr ? 0 : array_->features; }
  uint32_t dimensions() const { return SafeArrayGetDim(array_); }
  uint32_t count() const { return array_ == nullptr ? 0 : array_->count; }
  HRESULT bounds(uint32_t dimension, int32_t* lower, int32_t* upper) const;

  HRESULT lock();
  HRESULT unlock();
  // The elements while locked, null otherwise.
  const void* data() const { return locks_ > 0 && array_ != nullptr ? array_->data : nullptr; }
  // Element i of a locked array of texts, as UTF-8; empty outside the array.
  std::string text(uint32_t i) const;
  // Destroys the array; the handle is empty afterwards when that succeeded.
  HRESULT destroy();

 private:
  void reset();

  SAFEARRAY* array_ = nullptr;
  uint32_t locks_ = 0;
};

// Conversions for the server adapter; a wrong element type gives DISP_E_TYPEMISMATCH.
HRESULT SafeArrayToDoubles(const SAFEARRAY* array, std::vector<double>* out);
HRESULT SafeArrayToStrings(const SAFEARRAY* array, std::vector<std::string>* out);
SafeArrayPtr SafeArrayFromDoubles(const std::vector<double>& values);
SafeArrayPtr SafeArrayFromStrings(const std::vector<std::string>& values);

}  // namespace tevra::platform
