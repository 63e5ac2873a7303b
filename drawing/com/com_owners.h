// Owners for every COM resource the host client touches: interface pointers, BSTRs, VARIANTs,
// SAFEARRAYs, EXCEPINFO and the thread's apartment. Nothing outside this file frees them by hand.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace tvx::com {

// A counted interface pointer; Release on destruction.
template <class I>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { release(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr attach(I* raw) noexcept {
        ComPtr result;
        result.p_ = raw;
        return result;
    }
    // Shares a borrowed pointer: adds a reference of its own.
    static ComPtr borrow(I* raw) noexcept {
        ComPtr result = attach(raw);
        result.addRef();
        return result;
    }

    I* get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { ComPtr().swap(*this); }
    void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    // For out-parameters: releases what is held and hands out the slot.
    I** put() noexcept {
        reset();
        return &p_;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    I* detach() noexcept { return std::exchange(p_, nullptr); }

    template <class J>
    ComPtr<J> query() const noexcept {
        ComPtr<J> result;
        if (p_ != nullptr) {
            p_->QueryInterface(__uuidof(J), result.putVoid());
        }
        return result;
    }

private:
    void addRef() noexcept {
        if (p_ != nullptr) {
            p_->AddRef();
        }
    }
    void release() noexcept {
        if (I* old = std::exchange(p_, nullptr)) {
            old->Release();
        }
    }

    I* p_ = nullptr;
};

class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(const std::wstring& text);
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        UniqueBstr(std::move(other)).swap(*this);
        return *this;
    }
    ~UniqueBstr() { SysFreeString(b_); }

    static UniqueBstr attach(BSTR raw) noexcept {
        UniqueBstr result;
        result.b_ = raw;
        return result;
    }
    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        UniqueBstr().swap(*this);
        return &b_;
    }
    BSTR detach() noexcept { return std::exchange(b_, nullptr); }
    void swap(UniqueBstr& other) noexcept { std::swap(b_, other.b_); }

    // A null BSTR is the empty string, as COM has it.
    std::wstring str() const { return b_ == nullptr ? std::wstring() : std::wstring(b_, SysStringLen(b_)); }

private:
    BSTR b_ = nullptr;
};

class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : UniqueVariant() { std::swap(v_, other.v_); }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        UniqueVariant(std::move(other)).swap(*this);
        return *this;
    }
    ~UniqueVariant() { VariantClear(&v_); }

    const VARIANT& get() const noexcept { return v_; }
    VARIANT& get() noexcept { return v_; }
    VARIANT* addressOf() noexcept { return &v_; }
    // Clears what is held and hands out the slot, as an out-parameter wants it.
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }
    VARTYPE vt() const noexcept { return v_.vt; }
    void swap(UniqueVariant& other) noexcept { std::swap(v_, other.v_); }
    // Hands the content over to a raw VARIANT the caller now owns.
    void detachTo(VARIANT& target) noexcept {
        target = v_;
        VariantInit(&v_);
    }

private:
    VARIANT v_;
};

class UniqueSafeArray {
public:
    UniqueSafeArray() noexcept = default;
    UniqueSafeArray(const UniqueSafeArray&) = delete;
    UniqueSafeArray& operator=(const UniqueSafeArray&) = delete;
    UniqueSafeArray(UniqueSafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
    UniqueSafeArray& operator=(UniqueSafeArray&& other) noexcept {
        std::swap(a_, other.a_);
        return *this;
    }
    ~UniqueSafeArray() {
        if (a_ != nullptr) {
            SafeArrayDestroy(a_);
        }
    }

    static UniqueSafeArray attach(SAFEARRAY* raw) noexcept {
        UniqueSafeArray result;
        result.a_ = raw;
        return result;
    }
    SAFEARRAY* get() const noexcept { return a_; }
    SAFEARRAY* detach() noexcept { return std::exchange(a_, nullptr); }

private:
    SAFEARRAY* a_ = nullptr;
};

// Element access to a SAFEARRAY for the lifetime of the object.
class SafeArrayAccess {
public:
    explicit SafeArrayAccess(SAFEARRAY* array) noexcept : a_(array), hr_(SafeArrayLock(array)) {}
    SafeArrayAccess(const SafeArrayAccess&) = delete;
    SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;
    ~SafeArrayAccess() {
        if (SUCCEEDED(hr_)) {
            SafeArrayUnlock(a_);
        }
    }
    HRESULT result() const noexcept { return hr_; }

private:
    SAFEARRAY* a_;
    HRESULT hr_;
};

// EXCEPINFO as Invoke fills it; frees its strings.
class UniqueExcepInfo {
public:
    UniqueExcepInfo() noexcept { clear(); }
    UniqueExcepInfo(const UniqueExcepInfo&) = delete;
    UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;
    ~UniqueExcepInfo() { release(); }

    EXCEPINFO* put() noexcept {
        release();
        return &e_;
    }
    // Runs the deferred fill-in a server may leave for the caller.
    const EXCEPINFO& filled() noexcept {
        if (e_.pfnDeferredFillIn != nullptr) {
            auto fill = std::exchange(e_.pfnDeferredFillIn, nullptr);
            fill(&e_);
        }
        return e_;
    }

private:
    void release() noexcept {
        SysFreeString(e_.bstrSource);
        SysFreeString(e_.bstrDescription);
        SysFreeString(e_.bstrHelpFile);
        clear();
    }
    void clear() noexcept { e_ = EXCEPINFO{}; }

    EXCEPINFO e_;
};

// COM for the calling thread, once: a single-threaded apartment, as a user-interface thread
// needs. Undone on destruction; every interface pointer must be gone by then.
class ComApartment {
public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();

private:
    bool balanced_ = false;
};

} // namespace tvx::com
