// Owning wrappers for COM resources: interface pointers, BSTRs, VARIANTs and
// SAFEARRAYs, each released exactly once by its destructor.
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace idf::win {

// A counted reference to a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    // For out-parameters: releases the current reference first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

// An owned BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return b_; }
    BSTR* put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    // The text as UTF-16 (an absent BSTR is the empty text).
    std::u16string str() const {
        return b_ ? std::u16string(reinterpret_cast<const char16_t*>(b_), SysStringLen(b_)) : std::u16string();
    }

private:
    BSTR b_ = nullptr;
};

// An owned VARIANT.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT& get() { return v_; }
    VARIANT* put() {
        VariantClear(&v_);
        return &v_;
    }
    // The text of a VT_BSTR value; empty for any other type.
    std::u16string str() const {
        if (v_.vt != VT_BSTR || !v_.bstrVal) return {};
        return std::u16string(reinterpret_cast<const char16_t*>(v_.bstrVal), SysStringLen(v_.bstrVal));
    }

private:
    VARIANT v_;
};

}  // namespace idf::win
