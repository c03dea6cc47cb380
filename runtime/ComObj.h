// COM helpers: an owning interface pointer, failures as EOleException, BSTR.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <unknwn.h>

#include <string>
#include <utility>

#include "runtime/Exceptions.h"

template <class I>
class TComPtr {
 public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  I* Get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  I** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  template <class J>
  TComPtr<J> As() const {
    TComPtr<J> other;
    if (p_) p_->QueryInterface(__uuidof(J), reinterpret_cast<void**>(other.Put()));
    return other;
  }

 private:
  I* p_ = nullptr;
};

// Raises EOleException with the system's text for a failed HRESULT.
void OleCheck(HRESULT Result);
std::string OleErrorMessage(HRESULT Result);

// An owned BSTR.
class TBStr {
 public:
  TBStr() = default;
  explicit TBStr(const std::wstring& text)
      : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~TBStr() { SysFreeString(s_); }
  TBStr(const TBStr&) = delete;
  TBStr& operator=(const TBStr&) = delete;
  BSTR Get() const { return s_; }
  BSTR* Put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  std::wstring Str() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

 private:
  BSTR s_ = nullptr;
};
