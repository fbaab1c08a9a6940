// HRESULT and the status codes the driver and its server exchange.
#pragma once

#include <cstdint>

namespace tevra::platform {

using HRESULT = int32_t;

constexpr HRESULT hr(uint32_t code) {
  return static_cast<HRESULT>(code);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = hr(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = hr(0x80004002u);
inline constexpr HRESULT E_POINTER = hr(0x80004003u);
inline constexpr HRESULT E_ABORT = hr(0x80004004u);
inline constexpr HRESULT E_FAIL = hr(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = hr(0x8000FFFFu);
inline constexpr HRESULT E_INVALIDARG = hr(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = hr(0x8007000Eu);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hr(0x80020005u);
inline constexpr HRESULT DISP_E_EXCEPTION = hr(0x80020009u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = hr(0x8002000Eu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = hr(0x8002000Du);
inline constexpr HRESULT DISP_E_BADINDEX = hr(0x8002000Bu);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hr(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hr(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = hr(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = hr(0x800401F3u);
inline constexpr HRESULT CO_E_ERRORINDLL = hr(0x800401F9u);

constexpr bool SUCCEEDED(HRESULT value) {
  return value >= 0;
}
constexpr bool FAILED(HRESULT value) {
  return value < 0;
}

constexpr HRESULT HRESULT_FROM_WIN32(uint32_t error) {
  return error == 0 ? S_OK : hr((error & 0x0000FFFFu) | 0x80070000u);
}

}  // namespace tevra::platform
