// VARIANT: one automation value with its type tag, owning its text or array.
#pragma once

#include "platform/com/safearray.h"

namespace tevra::platform {

inline constexpr VARTYPE VT_ARRAY = 0x2000;

struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  union {
    int32_t lVal;
    int16_t iVal;
    VARIANT_BOOL boolVal;
    double dblVal;
    BSTR bstrVal;
    SAFEARRAY* parray;
  };
  VARIANT() : dblVal(0) {}
};

void VariantInit(VARIANT* v);
// Frees what the variant owns and makes it VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// A deep copy: texts and arrays are duplicated.
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);

}  // namespace tevra::platform
