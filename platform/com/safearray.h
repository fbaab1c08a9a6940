// One-dimensional arrays with the ownership rules of SAFEARRAY: the array owns its elements (BSTR elements
// are freed with it), SafeArrayDestroy refuses a locked array, and element access copies texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
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

struct SAFEARRAY {
  VARTYPE vt = VT_EMPTY;
  uint32_t elementSize = 0;
  int32_t lowerBound = 0;
  uint32_t count = 0;
  uint32_t locks = 0;
  void* data = nullptr;
};

// VT_I2, VT_I4, VT_R8, VT_BSTR and VT_BOOL; null for another type or when memory runs out.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
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

// Conversions for the server adapter; a wrong element type gives DISP_E_TYPEMISMATCH.
HRESULT SafeArrayToDoubles(const SAFEARRAY* array, std::vector<double>* out);
HRESULT SafeArrayToStrings(const SAFEARRAY* array, std::vector<std::string>* out);
SafeArrayPtr SafeArrayFromDoubles(const std::vector<double>& values);
SafeArrayPtr SafeArrayFromStrings(const std::vector<std::string>& values);

}  // namespace tevra::platform
