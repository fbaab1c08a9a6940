// How each type of the operation table travels as a VARIANT: what the driver passes and gets back, and what
// the server module receives and fills in.
#pragma once

#include <string>
#include <vector>

#include "platform/com/com_error.h"
#include "platform/com/variant.h"

namespace tevra::server {

using platform::BSTR;
using platform::HRESULT;
using platform::SAFEARRAY;
using platform::VARIANT;
using platform::VARIANT_BOOL;
using platform::VARTYPE;

// Tags of the operation table that are not plain C++ types.
struct VBool;
struct Text;
struct DoubleArray;
struct TextArray;

// A text argument as the driver gives it: an 8-bit text, or null for a null BSTR.
class TextArg {
 public:
  TextArg(const char* text) : text_(text) {}
  TextArg(const std::string& text) : text_(text.c_str()) {}
  const char* get() const { return text_; }

 private:
  const char* text_;
};

template <class T>
struct Wire;

// A number carried in one member of the VARIANT, the same type on both sides.
template <class T, VARTYPE Type, T VARIANT::*Member>
struct WireScalar {
  static constexpr VARTYPE vt = Type;
  using ClientIn = T;
  using ClientOut = T;
  using ServerIn = T;
  using ServerOut = T;
  static void pack(VARIANT& v, T x) {
    v.vt = vt;
    v.*Member = x;
  }
  static bool accepts(VARTYPE type) { return type == vt; }
  static T take(VARIANT& v) { return v.*Member; }
  static T view(const VARIANT& v) { return v.*Member; }
  static ServerOut initial() { return T{}; }
  static void release(ServerOut&) {}
};

template <>
struct Wire<int32_t> : WireScalar<int32_t, platform::VT_I4, &VARIANT::lVal> {};
template <>
struct Wire<double> : WireScalar<double, platform::VT_R8, &VARIANT::dblVal> {};
template <>
struct Wire<VBool> : WireScalar<VARIANT_BOOL, platform::VT_BOOL, &VARIANT::boolVal> {};

template <>
struct Wire<Text> {
  static constexpr VARTYPE vt = platform::VT_BSTR;
  using ClientIn = TextArg;
  using ClientOut = std::string;
  using ServerIn = BSTR;
  using ServerOut = BSTR;
  static void pack(VARIANT& v, TextArg text) {
    v.vt = vt;
    v.bstrVal = platform::Bstr(text.get()).detach();
  }
  static void pack(VARIANT& v, BSTR text) {
    v.vt = vt;
    v.bstrVal = text;
  }
  static bool accepts(VARTYPE type) { return type == vt; }
  static std::string take(VARIANT& v) {
    return platform::Bstr::attach(std::exchange(v.bstrVal, nullptr)).utf8();
  }
  static BSTR view(const VARIANT& v) { return v.bstrVal; }
  static ServerOut initial() { return nullptr; }
  static void release(ServerOut& text) { platform::SysFreeString(std::exchange(text, nullptr)); }
};

// An array result reaches the driver as an owning handle whatever its element type and shape, so that the
// caller decides how a mistyped, null or multi-dimensional array is answered.
template <class Element, VARTYPE ElementType>
struct WireArray {
  static constexpr VARTYPE vt = platform::VT_ARRAY | ElementType;
  using ClientIn = const std::vector<Element>&;
  using ClientOut = platform::SafeArrayHandle;
  using ServerIn = SAFEARRAY*;
  using ServerOut = SAFEARRAY*;
  static void pack(VARIANT& v, const std::vector<Element>& values) {
    platform::SafeArrayPtr array = fromVector(values);
    if (!array) _com_issue_error(platform::E_OUTOFMEMORY);
    v.vt = vt;
    v.parray = array.release();
  }
  static void pack(VARIANT& v, SAFEARRAY* array) {
    v.vt = vt;
    v.parray = array;
  }
  static bool accepts(VARTYPE type) { return (type & platform::VT_ARRAY) != 0 || type == platform::VT_EMPTY; }
  static ClientOut take(VARIANT& v) {
    if (v.vt == platform::VT_EMPTY) return {};
    return platform::SafeArrayHandle(std::exchange(v.parray, nullptr));
  }
  static SAFEARRAY* view(const VARIANT& v) { return v.parray; }
  static ServerOut initial() { return nullptr; }
  static void release(ServerOut& array) { platform::SafeArrayDestroy(std::exchange(array, nullptr)); }

 private:
  static platform::SafeArrayPtr fromVector(const std::vector<Element>& values) {
    if constexpr (ElementType == platform::VT_R8) {
      return platform::SafeArrayFromDoubles(values);
    } else {
      return platform::SafeArrayFromStrings(values);
    }
  }
};

template <>
struct Wire<DoubleArray> : WireArray<double, platform::VT_R8> {};
template <>
struct Wire<TextArray> : WireArray<std::string, platform::VT_BSTR> {};

}  // namespace tevra::server
