// GUIDs, IUnknown, a reference-counted object base and a smart interface pointer.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include "platform/com/hresult.h"

namespace tevra::platform {

struct GUID {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
using IID = GUID;
using CLSID = GUID;

inline bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

// The registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex digits.
std::string GuidToString(const GUID& guid);
// Reads the registry form (braces required, hex digits of either case); false when the text is not one.
bool GuidFromString(const char* text, GUID* guid);

struct IUnknown {
  static constexpr IID iid = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Implements IUnknown for an object that offers the listed interfaces; it deletes itself at the last Release.
template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(const IID& wanted, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (wanted == IUnknown::iid) {
      *object = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
    } else if (!(offer<Interfaces>(wanted, object) || ...)) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32_t Release() override {
    const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  template <class I>
  bool offer(const IID& wanted, void** object) {
    if (!(wanted == I::iid)) return false;
    *object = static_cast<I*>(this);
    return true;
  }

  using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  std::atomic<uint32_t> refs_{1};
};

// Owns one reference to an interface; operator-> on a null pointer raises E_POINTER as a COM error.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already holds.
  static ComPtr attach(T* raw) {
    ComPtr p;
    p.ptr_ = raw;
    return p;
  }
  // Adds a reference of its own.
  static ComPtr share(T* raw) {
    if (raw != nullptr) raw->AddRef();
    return attach(raw);
  }
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_ != nullptr) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (T* p = std::exchange(ptr_, nullptr)) p->Release();
  }
  T* get() const { return ptr_; }
  T* detach() { return std::exchange(ptr_, nullptr); }
  // For an output argument: releases what is held and returns the slot.
  T** put() {
    reset();
    return &ptr_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  T* operator->() const;
  explicit operator bool() const { return ptr_ != nullptr; }

  template <class U>
  HRESULT queryInterface(ComPtr<U>* out) const {
    if (ptr_ == nullptr) return E_POINTER;
    return ptr_->QueryInterface(U::iid, out->putVoid());
  }

 private:
  T* ptr_ = nullptr;
};

[[noreturn]] void raiseNullInterface();

template <class T>
T* ComPtr<T>::operator->() const {
  if (ptr_ == nullptr) raiseNullInterface();
  return ptr_;
}

}  // namespace tevra::platform
