#include "platform/com/safearray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tevra::platform {
namespace {

uint32_t elementSizeOf(VARTYPE vt) {
  switch (vt) {
    case VT_I2:
    case VT_BOOL:
      return 2;
    case VT_I4:
      return 4;
    case VT_R8:
      return 8;
    case VT_BSTR:
      return sizeof(BSTR);
    default:
      return 0;
  }
}

void* elementAt(const SAFEARRAY* array, uint32_t offset) {
  return static_cast<unsigned char*>(array->data) + static_cast<size_t>(offset) * array->elementSize;
}

HRESULT offsetOf(const SAFEARRAY* array, const int32_t* index, uint32_t* offset) {
  if (array == nullptr || index == nullptr) return E_INVALIDARG;
  if (array->dimensions != 1) return DISP_E_BADINDEX;
  const int64_t rel = static_cast<int64_t>(*index) - array->bounds[0].lowerBound;
  if (rel < 0 || rel >= static_cast<int64_t>(array->count)) return DISP_E_BADINDEX;
  *offset = static_cast<uint32_t>(rel);
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t dimensions, const SAFEARRAYBOUND* bounds) {
  const uint32_t size = elementSizeOf(vt);
  if (size == 0 || dimensions == 0 || dimensions > kMaxArrayDimensions || bounds == nullptr) return nullptr;
  uint64_t count = 1;
  for (uint32_t d = 0; d < dimensions; ++d) count *= bounds[d].elements;
  if (count * size > UINT32_MAX) return nullptr;
  auto* array = new (std::nothrow) SAFEARRAY;
  if (array == nullptr) return nullptr;
  array->vt = vt;
  array->dimensions = static_cast<uint16_t>(dimensions);
  array->features = FADF_HAVEVARTYPE | (vt == VT_BSTR ? FADF_BSTR : 0);
  array->elementSize = size;
  array->count = static_cast<uint32_t>(count);
  std::copy(bounds, bounds + dimensions, array->bounds);
  array->data = std::calloc(count == 0 ? 1 : count, size);
  if (array->data == nullptr) {
    delete array;
    return nullptr;
  }
  return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count) {
  const SAFEARRAYBOUND bound{count, lowerBound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->locks > 0) return DISP_E_ARRAYISLOCKED;
  if (array->vt == VT_BSTR) {
    auto* texts = static_cast<BSTR*>(array->data);
    for (uint32_t i = 0; i < array->count; ++i) SysFreeString(texts[i]);
  }
  std::free(array->data);
  delete array;
  return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy) {
  if (copy == nullptr) return E_INVALIDARG;
  *copy = nullptr;
  if (source == nullptr) return S_OK;
  SafeArrayPtr array(SafeArrayCreate(source->vt, source->dimensions, source->bounds));
  if (!array) return E_OUTOFMEMORY;
  if (source->vt == VT_BSTR) {
    const auto* from = static_cast<const BSTR*>(source->data);
    auto* to = static_cast<BSTR*>(array->data);
    for (uint32_t i = 0; i < source->count; ++i) {
      if (from[i] == nullptr) continue;
      to[i] = SysAllocStringLen(from[i], SysStringLen(from[i]));
      if (to[i] == nullptr) return E_OUTOFMEMORY;
    }
  } else if (source->count > 0) {
    std::memcpy(array->data, source->data, static_cast<size_t>(source->count) * source->elementSize);
  }
  *copy = array.release();
  return S_OK;
}

uint32_t SafeArrayGetDim(const SAFEARRAY* array) {
  return array == nullptr ? 0 : array->dimensions;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  ++array->locks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->locks == 0) return E_UNEXPECTED;
  --array->locks;
  return S_OK;
}

HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt) {
  if (array == nullptr || vt == nullptr) return E_INVALIDARG;
  *vt = array->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, uint32_t dimension, int32_t* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dimension == 0 || dimension > array->dimensions) return DISP_E_BADINDEX;
  *bound = array->bounds[dimension - 1].lowerBound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, uint32_t dimension, int32_t* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dimension == 0 || dimension > array->dimensions) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = array->bounds[dimension - 1];
  *bound = static_cast<int32_t>(static_cast<int64_t>(b.lowerBound) + b.elements - 1);
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  ++array->locks;
  *data = array->data;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
  return SafeArrayUnlock(array);
}

HRESULT SafeArrayGetElement(const SAFEARRAY* array, const int32_t* index, void* element) {
  uint32_t offset = 0;
  if (HRESULT r = offsetOf(array, index, &offset); FAILED(r)) return r;
  if (element == nullptr) return E_INVALIDARG;
  if (array->vt == VT_BSTR) {
    BSTR source = *static_cast<BSTR*>(elementAt(array, offset));
    BSTR copy = source == nullptr ? nullptr : SysAllocStringLen(source, SysStringLen(source));
    if (source != nullptr && copy == nullptr) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(element) = copy;
  } else {
    std::memcpy(element, elementAt(array, offset), array->elementSize);
  }
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const int32_t* index, const void* element) {
  uint32_t offset = 0;
  if (HRESULT r = offsetOf(array, index, &offset); FAILED(r)) return r;
  if (element == nullptr && array->vt != VT_BSTR) return E_INVALIDARG;
  if (array->vt == VT_BSTR) {
    BSTR source = element == nullptr ? nullptr : const_cast<BSTR>(static_cast<const OLECHAR*>(element));
    BSTR copy = source == nullptr ? nullptr : SysAllocStringLen(source, SysStringLen(source));
    if (source != nullptr && copy == nullptr) return E_OUTOFMEMORY;
    auto* slot = static_cast<BSTR*>(elementAt(array, offset));
    SysFreeString(*slot);
    *slot = copy;
  } else {
    std::memcpy(elementAt(array, offset), element, array->elementSize);
  }
  return S_OK;
}

HRESULT SafeArrayToDoubles(const SAFEARRAY* array, std::vector<double>* out) {
  if (array == nullptr || out == nullptr) return E_POINTER;
  if (array->vt != VT_R8) return DISP_E_TYPEMISMATCH;
  const auto* values = static_cast<const double*>(array->data);
  out->assign(values, values + array->count);
  return S_OK;
}

HRESULT SafeArrayToStrings(const SAFEARRAY* array, std::vector<std::string>* out) {
  if (array == nullptr || out == nullptr) return E_POINTER;
  if (array->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
  const auto* texts = static_cast<const BSTR*>(array->data);
  out->clear();
  out->reserve(array->count);
  for (uint32_t i = 0; i < array->count; ++i) {
    out->push_back(Utf16ToUtf8({texts[i] == nullptr ? u"" : texts[i], SysStringLen(texts[i])}));
  }
  return S_OK;
}

SafeArrayPtr SafeArrayFromDoubles(const std::vector<double>& values) {
  SafeArrayPtr array(SafeArrayCreateVector(VT_R8, 0, static_cast<uint32_t>(values.size())));
  if (array && !values.empty()) std::memcpy(array->data, values.data(), values.size() * sizeof(double));
  return array;
}

SafeArrayPtr SafeArrayFromStrings(const std::vector<std::string>& values) {
  SafeArrayPtr array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<uint32_t>(values.size())));
  if (!array) return array;
  auto* texts = static_cast<BSTR*>(array->data);
  for (size_t i = 0; i < values.size(); ++i) {
    const std::u16string wide = Utf8ToUtf16(values[i]);
    texts[i] = SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
    if (texts[i] == nullptr) return nullptr;
  }
  return array;
}

SafeArrayHandle::SafeArrayHandle(SafeArrayHandle&& other) noexcept
    : array_(std::exchange(other.array_, nullptr)), locks_(std::exchange(other.locks_, 0)) {}

SafeArrayHandle& SafeArrayHandle::operator=(SafeArrayHandle&& other) noexcept {
  if (this != &other) {
    reset();
    array_ = std::exchange(other.array_, nullptr);
    locks_ = std::exchange(other.locks_, 0);
  }
  return *this;
}

HRESULT SafeArrayHandle::bounds(uint32_t dimension, int32_t* lower, int32_t* upper) const {
  if (HRESULT hr = SafeArrayGetLBound(array_, dimension, lower); FAILED(hr)) return hr;
  return SafeArrayGetUBound(array_, dimension, upper);
}

HRESULT SafeArrayHandle::lock() {
  const HRESULT hr = SafeArrayLock(array_);
  if (SUCCEEDED(hr)) ++locks_;
  return hr;
}

HRESULT SafeArrayHandle::unlock() {
  if (locks_ == 0) return E_UNEXPECTED;
  const HRESULT hr = SafeArrayUnlock(array_);
  if (SUCCEEDED(hr)) --locks_;
  return hr;
}

std::string SafeArrayHandle::text(uint32_t i) const {
  if (data() == nullptr || array_->vt != VT_BSTR || i >= array_->count) return {};
  const BSTR text = static_cast<const BSTR*>(array_->data)[i];
  return text == nullptr ? std::string() : Utf16ToUtf8({text, SysStringLen(text)});
}

HRESULT SafeArrayHandle::destroy() {
  const HRESULT hr = SafeArrayDestroy(array_);
  if (SUCCEEDED(hr)) array_ = nullptr;
  return hr;
}

void SafeArrayHandle::reset() {
  while (locks_ > 0 && SUCCEEDED(unlock())) {
  }
  SafeArrayDestroy(std::exchange(array_, nullptr));
  locks_ = 0;
}

}  // namespace tevra::platform
