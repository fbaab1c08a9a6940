#include "platform/com/variant.h"

namespace tevra::platform {
namespace {

HRESULT copyArray(const SAFEARRAY* source, SAFEARRAY** copy) {
  *copy = nullptr;
  if (source == nullptr) return S_OK;
  SafeArrayPtr array(SafeArrayCreateVector(source->vt, source->lowerBound, source->count));
  if (!array) return E_OUTOFMEMORY;
  for (uint32_t i = 0; i < source->count; ++i) {
    const int32_t index = source->lowerBound + static_cast<int32_t>(i);
    if (source->vt == VT_BSTR) {
      BSTR text = nullptr;
      if (HRESULT r = SafeArrayGetElement(source, &index, &text); FAILED(r)) return r;
      HRESULT r = SafeArrayPutElement(array.get(), &index, text);
      SysFreeString(text);
      if (FAILED(r)) return r;
    } else {
      double element[1];
      if (HRESULT r = SafeArrayGetElement(source, &index, element); FAILED(r)) return r;
      if (HRESULT r = SafeArrayPutElement(array.get(), &index, element); FAILED(r)) return r;
    }
  }
  *copy = array.release();
  return S_OK;
}

}  // namespace

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  v->vt = VT_EMPTY;
  v->dblVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  if ((v->vt & VT_ARRAY) != 0) {
    if (HRESULT r = SafeArrayDestroy(v->parray); FAILED(r)) return r;
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
  if (destination == nullptr || source == nullptr) return E_INVALIDARG;
  if (destination == source) return S_OK;
  if (HRESULT r = VariantClear(destination); FAILED(r)) return r;
  VARIANT copy;
  copy.vt = source->vt;
  if (source->vt == VT_BSTR) {
    copy.bstrVal = source->bstrVal == nullptr
                       ? nullptr
                       : SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (source->bstrVal != nullptr && copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if ((source->vt & VT_ARRAY) != 0) {
    if (HRESULT r = copyArray(source->parray, &copy.parray); FAILED(r)) return r;
  } else {
    copy = *source;
  }
  *destination = copy;
  return S_OK;
}

}  // namespace tevra::platform
