// Intrusive reference counting for the shared model objects (objects, frames,
// references, generators). The count starts at 0; every holder adds one when
// it stores the pointer and releases it when done; the release that leaves
// the count below 1 deletes the object. RefPtr is the holder that does this.
#pragma once

#include <cstdint>
#include <utility>

class CRefObj {
 public:
  CRefObj() = default;
  // A copy is a new object: it starts with no holders.
  CRefObj(const CRefObj&) {}
  CRefObj& operator=(const CRefObj&) { return *this; }
  virtual ~CRefObj() = default;

  std::int32_t AddRef() { return ++m_nRefCount; }
  std::int32_t Release() {
    std::int32_t n = --m_nRefCount;
    if (n < 1) delete this;
    return n;
  }
  std::int32_t GetRefCount() const { return m_nRefCount; }

 private:
  std::int32_t m_nRefCount = 0;
};

template <class T>
class RefPtr {
 public:
  RefPtr() = default;
  RefPtr(std::nullptr_t) {}
  // Takes a count on p (a freshly created object ends up with count 1).
  explicit RefPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
  RefPtr(const RefPtr& o) : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
  RefPtr(RefPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
  template <class U>
  RefPtr(const RefPtr<U>& o) : m_p(o.get()) { if (m_p) m_p->AddRef(); }
  ~RefPtr() { if (m_p) m_p->Release(); }

  RefPtr& operator=(RefPtr o) noexcept { std::swap(m_p, o.m_p); return *this; }

  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  T& operator*() const { return *m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void reset() { RefPtr().swap(*this); }
  void swap(RefPtr& o) noexcept { std::swap(m_p, o.m_p); }
  friend bool operator==(const RefPtr& a, const RefPtr& b) { return a.m_p == b.m_p; }
  friend bool operator==(const RefPtr& a, const T* b) { return a.m_p == b; }

 private:
  T* m_p = nullptr;
};

// Creates a counted object and hands back its first holder.
template <class T, class... Args>
RefPtr<T> MakeRef(Args&&... args) {
  return RefPtr<T>(new T(std::forward<Args>(args)...));
}
