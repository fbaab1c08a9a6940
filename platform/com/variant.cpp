#include "platform/com/variant.h"

namespace tevra::platform {

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
    if (HRESULT r = SafeArrayCopy(source->parray, &copy.parray); FAILED(r)) return r;
  } else {
    copy = *source;
  }
  *destination = copy;
  return S_OK;
}

}  // namespace tevra::platform
