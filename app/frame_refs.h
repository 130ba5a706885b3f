// A frame's per-object references, stored sparsely.
//
// A frame shows one reference per object, in object order, but most of them
// are alike across frames (an import hides every object but the frame's own,
// all at the object's first position). So a list keeps a shared, immutable
// base table (one reference per place, shared by every frame built from it)
// and its own explicit entries keyed by place. Reading place j gives the
// explicit entry when there is one, else the base's. Reads never copy; Edit
// copies a base entry into an explicit one first (copy on write), so a change
// never reaches another frame. Memory is O(base + explicit entries).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/dib_object.h"

// One frame's view of one object: placement, visibility, lock, transparency.
// A freshly constructed reference is hidden, unlocked, opaque, at (0, 0).
class CRefImageObject : public CRefObj {
 public:
  CRefImageObject() = default;
  explicit CRefImageObject(RefPtr<CDib> object) : m_pObject(std::move(object)) {}
  CRefImageObject(const CRefImageObject& o)
      : CRefObj(), m_nReserved1(o.m_nReserved1), m_nReserved2(o.m_nReserved2), m_nX(o.m_nX), m_nY(o.m_nY),
        m_bLocked(o.m_bLocked), m_pObject(o.m_pObject), m_bVisible(o.m_bVisible),
        m_nTransparency(o.m_nTransparency) {}
  CRefImageObject& operator=(const CRefImageObject&) = delete;

  // Same placement, visibility, lock, transparency and object.
  bool SameAs(const CRefImageObject& o) const {
    return m_nX == o.m_nX && m_nY == o.m_nY && m_bLocked == o.m_bLocked && m_pObject == o.m_pObject &&
           m_bVisible == o.m_bVisible && m_nTransparency == o.m_nTransparency && m_nReserved1 == o.m_nReserved1 &&
           m_nReserved2 == o.m_nReserved2;
  }

  std::int32_t m_nReserved1 = 0;
  std::int32_t m_nReserved2 = 0;
  std::int32_t m_nX = 0;
  std::int32_t m_nY = 0;
  bool m_bLocked = false;
  RefPtr<CDib> m_pObject;
  bool m_bVisible = false;
  std::int32_t m_nTransparency = 0;  // 0 opaque, 255 invisible
};

// The shared base of reference lists. Never changed once a list holds it.
class CRefTable : public CRefObj {
 public:
  explicit CRefTable(std::vector<RefPtr<CRefImageObject>> refs);
  std::size_t size() const { return m_refs.size(); }
  const CRefImageObject* Get(std::size_t j) const { return m_refs[j].get(); }
  // Places whose reference is visible, ascending.
  const std::vector<std::uint32_t>& Visible() const { return m_visible; }
  // First place showing object, or -1.
  int FirstPlaceOf(const CDib* object) const;
  // Every place showing object, ascending (empty when none).
  const std::vector<std::uint32_t>& PlacesOf(const CDib* object) const;

 private:
  friend class CRefImageObjectList;
  std::vector<RefPtr<CRefImageObject>> m_refs;
  std::vector<std::uint32_t> m_visible;
  std::unordered_map<const CDib*, std::vector<std::uint32_t>> m_places;
};

// Remembers, during one operation applied to many lists, the new base made
// for each old one, so frames sharing a base keep sharing the new one.
struct CRefTableMemo {
  // old base -> (old base kept alive so its address is not reused, new base)
  std::unordered_map<const CRefTable*, std::pair<RefPtr<CRefTable>, RefPtr<CRefTable>>> map;
};

class CRefImageObjectList {
 public:
  using Slot = RefPtr<CRefImageObject>;

  CRefImageObjectList() = default;
  // A list of n places read from base (which must hold at least n).
  CRefImageObjectList(RefPtr<CRefTable> base, std::size_t n);

  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  void reserve(std::size_t) {}
  void clear();

  // Read access; null for an empty place.
  const CRefImageObject* operator[](std::size_t j) const { return Get(j); }
  const CRefImageObject* Get(std::size_t j) const;
  // Write access: makes place j explicit (a copy of the base entry) and hands
  // it out; null for an empty place.
  CRefImageObject* Edit(std::size_t j);
  Slot EditRef(std::size_t j);
  // The explicit entry at j, or null when j reads from the base.
  const Slot* Explicit(std::size_t j) const;

  void Set(std::size_t j, Slot ref);
  void push_back(Slot ref);
  // Inserts ref at j. With memo, lists that share a base get one new base;
  // shared puts ref itself into it (read-only from then on, so the caller
  // must insert the same ref into every list of the operation), otherwise ref
  // becomes an explicit entry.
  void insert(std::size_t j, Slot ref, CRefTableMemo* memo = nullptr, bool shared = false);
  void erase(std::size_t j, CRefTableMemo* memo = nullptr);
  // Moves the entry at from to to (the entries between shift by one).
  void move(std::size_t from, std::size_t to, CRefTableMemo* memo = nullptr);
  // Reorders the places: new place k takes old place order[k] (order is a
  // permutation of the places; inverse[old] = new).
  void Permute(const std::vector<int>& order, const std::vector<std::size_t>& inverse, CRefTableMemo& memo);
  // Inserts at j + 1 a copy of place j that shows object instead.
  void DuplicatePlace(std::size_t j, const RefPtr<CDib>& object, CRefTableMemo& memo);
  void swap(CRefImageObjectList& o) noexcept;
  // The same references as new objects (the base is shared: it never changes).
  CRefImageObjectList DeepCopy() const;

  // Replaces the base by one of the same size (a base changed as a whole,
  // e.g. every position moved) and hands back the old one.
  RefPtr<CRefTable> ExchangeBase(RefPtr<CRefTable> base);
  // With fn applied to a copy of every base entry: a new base (one per old
  // base through memo) that ExchangeBase can put in place; null without base.
  RefPtr<CRefTable> TransformedBase(const std::function<void(CRefImageObject&)>& fn, CRefTableMemo& memo) const;

  // Number of explicit entries (memory check and tests).
  std::size_t ExplicitCount() const { return m_own.size(); }
  const CRefTable* Base() const { return m_base.get(); }

  // Visits every visible reference in place order: fn(j, ref).
  template <class F>
  void ForEachShown(F&& fn) const;
  // Visits every explicit entry in place order: fn(j, slot).
  template <class F>
  void ForEachExplicit(F&& fn) const {
    for (const auto& [j, slot] : m_own) fn(std::size_t(j), slot);
  }
  // First place showing object, or -1. O(explicit) plus a lookup in the base.
  int FindObject(const CDib* object) const;
  // Every place showing object, ascending.
  std::vector<std::size_t> PlacesOf(const CDib* object) const;

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = const CRefImageObject*;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = const CRefImageObject*;
    const_iterator(const CRefImageObjectList* l, std::size_t j) : m_l(l), m_j(j) {}
    const CRefImageObject* operator*() const { return m_l->Get(m_j); }
    const_iterator& operator++() {
      ++m_j;
      return *this;
    }
    bool operator==(const const_iterator& o) const { return m_j == o.m_j; }
    bool operator!=(const const_iterator& o) const { return m_j != o.m_j; }

   private:
    const CRefImageObjectList* m_l;
    std::size_t m_j;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, m_size}; }

 private:
  using Entry = std::pair<std::uint32_t, Slot>;
  std::vector<Entry>::iterator Find(std::size_t j);
  std::vector<Entry>::const_iterator Find(std::size_t j) const;
  // Gives every place covered by the base an explicit copy and drops the base.
  void DropBase();
  void Rebase(CRefTableMemo* memo, const std::function<RefPtr<CRefTable>(const CRefTable&)>& make);

  RefPtr<CRefTable> m_base;
  std::vector<Entry> m_own;  // sorted by place
  std::size_t m_size = 0;
};

template <class F>
void CRefImageObjectList::ForEachShown(F&& fn) const {
  static const std::vector<std::uint32_t> kNone;
  const auto& vis = m_base ? m_base->Visible() : kNone;
  auto v = vis.begin();
  auto o = m_own.begin();
  while (v != vis.end() || o != m_own.end()) {
    if (v != vis.end() && *v >= m_size) v = vis.end();
    if (o != m_own.end() && (v == vis.end() || o->first <= *v)) {
      if (v != vis.end() && o->first == *v) ++v;  // overridden
      if (o->second && o->second->m_bVisible) fn(std::size_t(o->first), *o->second);
      ++o;
    } else if (v != vis.end()) {
      fn(std::size_t(*v), *m_base->Get(*v));
      ++v;
    }
  }
}

// Remembers, while many lists are checked against one object list, the
// places where each base does not show the object of that place.
struct CRefPlaceCheck {
  std::unordered_map<const CRefTable*, std::vector<std::size_t>> badPlaces;
};
// Whether list holds exactly one reference per object, the j-th showing
// objects[j]. O(explicit entries) per list once its base was checked.
bool ShowsObjects(const CRefImageObjectList& list, const std::vector<RefPtr<CDib>>& objects, CRefPlaceCheck& check);
