#include "platform/com/safearray.h"

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
  const int64_t rel = static_cast<int64_t>(*index) - array->lowerBound;
  if (rel < 0 || rel >= static_cast<int64_t>(array->count)) return DISP_E_BADINDEX;
  *offset = static_cast<uint32_t>(rel);
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count) {
  const uint32_t size = elementSizeOf(vt);
  if (size == 0) return nullptr;
  auto* array = new (std::nothrow) SAFEARRAY;
  if (array == nullptr) return nullptr;
  array->vt = vt;
  array->elementSize = size;
  array->lowerBound = lowerBound;
  array->count = count;
  array->data = std::calloc(count == 0 ? 1 : count, size);
  if (array->data == nullptr) {
    delete array;
    return nullptr;
  }
  return array;
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

HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt) {
  if (array == nullptr || vt == nullptr) return E_INVALIDARG;
  *vt = array->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, uint32_t dimension, int32_t* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dimension != 1) return DISP_E_BADINDEX;
  *bound = array->lowerBound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, uint32_t dimension, int32_t* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dimension != 1) return DISP_E_BADINDEX;
  *bound = static_cast<int32_t>(static_cast<int64_t>(array->lowerBound) + array->count - 1);
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  ++array->locks;
  *data = array->data;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->locks == 0) return E_UNEXPECTED;
  --array->locks;
  return S_OK;
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

}  // namespace tevra::platform
