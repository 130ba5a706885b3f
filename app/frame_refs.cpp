#include "app/frame_refs.h"

#include <algorithm>

CRefTable::CRefTable(std::vector<RefPtr<CRefImageObject>> refs) : m_refs(std::move(refs)) {
  for (std::size_t j = 0; j < m_refs.size(); ++j) {
    const CRefImageObject* r = m_refs[j].get();
    if (!r) continue;
    if (r->m_bVisible) m_visible.push_back(std::uint32_t(j));
    if (r->m_pObject) m_places[r->m_pObject.get()].push_back(std::uint32_t(j));
  }
}

int CRefTable::FirstPlaceOf(const CDib* object) const {
  const auto& places = PlacesOf(object);
  return places.empty() ? -1 : int(places.front());
}

const std::vector<std::uint32_t>& CRefTable::PlacesOf(const CDib* object) const {
  static const std::vector<std::uint32_t> kNone;
  auto it = m_places.find(object);
  return it == m_places.end() ? kNone : it->second;
}

CRefImageObjectList::CRefImageObjectList(RefPtr<CRefTable> base, std::size_t n) : m_base(std::move(base)) {
  m_size = m_base ? std::min(n, m_base->size()) : 0;
}

void CRefImageObjectList::clear() {
  m_base.reset();
  m_own.clear();
  m_size = 0;
}

std::vector<CRefImageObjectList::Entry>::iterator CRefImageObjectList::Find(std::size_t j) {
  return std::lower_bound(m_own.begin(), m_own.end(), j,
                          [](const Entry& e, std::size_t k) { return e.first < k; });
}

std::vector<CRefImageObjectList::Entry>::const_iterator CRefImageObjectList::Find(std::size_t j) const {
  return std::lower_bound(m_own.begin(), m_own.end(), j,
                          [](const Entry& e, std::size_t k) { return e.first < k; });
}

const CRefImageObject* CRefImageObjectList::Get(std::size_t j) const {
  if (j >= m_size) return nullptr;
  auto it = Find(j);
  if (it != m_own.end() && it->first == j) return it->second.get();
  return m_base && j < m_base->size() ? m_base->Get(j) : nullptr;
}

const CRefImageObjectList::Slot* CRefImageObjectList::Explicit(std::size_t j) const {
  auto it = Find(j);
  return it != m_own.end() && it->first == j ? &it->second : nullptr;
}

CRefImageObjectList::Slot CRefImageObjectList::EditRef(std::size_t j) {
  if (j >= m_size) return {};
  auto it = Find(j);
  if (it != m_own.end() && it->first == j) return it->second;
  const CRefImageObject* shared = m_base && j < m_base->size() ? m_base->Get(j) : nullptr;
  if (!shared) return {};
  Slot copy = MakeRef<CRefImageObject>(*shared);
  m_own.insert(it, Entry{std::uint32_t(j), copy});
  return copy;
}

CRefImageObject* CRefImageObjectList::Edit(std::size_t j) { return EditRef(j).get(); }

void CRefImageObjectList::Set(std::size_t j, Slot ref) {
  if (j >= m_size) return;
  auto it = Find(j);
  if (it != m_own.end() && it->first == j)
    it->second = std::move(ref);
  else
    m_own.insert(it, Entry{std::uint32_t(j), std::move(ref)});
}

void CRefImageObjectList::push_back(Slot ref) {
  m_own.emplace_back(std::uint32_t(m_size), std::move(ref));
  ++m_size;
}

void CRefImageObjectList::DropBase() {
  if (!m_base) return;
  const std::size_t covered = std::min(m_size, m_base->size());
  std::vector<Entry> all;
  all.reserve(covered + m_own.size());
  auto o = m_own.begin();
  for (std::size_t j = 0; j < covered; ++j) {
    if (o != m_own.end() && o->first == j) {
      all.push_back(std::move(*o++));
    } else {
      const CRefImageObject* shared = m_base->Get(j);
      all.emplace_back(std::uint32_t(j), shared ? MakeRef<CRefImageObject>(*shared) : Slot());
    }
  }
  for (; o != m_own.end(); ++o) all.push_back(std::move(*o));
  m_own = std::move(all);
  m_base.reset();
}

void CRefImageObjectList::Rebase(CRefTableMemo* memo,
                                 const std::function<RefPtr<CRefTable>(const CRefTable&)>& make) {
  if (memo) {
    auto it = memo->map.find(m_base.get());
    if (it != memo->map.end()) {
      m_base = it->second.second;
      return;
    }
  }
  RefPtr<CRefTable> next = make(*m_base);
  if (memo) memo->map.emplace(m_base.get(), std::make_pair(m_base, next));
  m_base = std::move(next);
}

void CRefImageObjectList::insert(std::size_t j, Slot ref, CRefTableMemo* memo, bool shared) {
  j = std::min(j, m_size);
  // A list that reads its whole length from the base gets a new base with a
  // place at j (holding ref when shared, else empty under an explicit ref);
  // frames sharing the old base share the new one through memo. Other lists
  // give the base up when it would have to shift.
  const bool full = m_base && m_base->size() == m_size;
  if (m_base && j < m_base->size() && !(memo && full)) DropBase();
  for (auto& e : m_own)
    if (e.first >= j) ++e.first;
  ++m_size;
  if (memo && full) {
    Rebase(memo, [&](const CRefTable& old) {
      std::vector<Slot> refs(old.m_refs);
      refs.insert(refs.begin() + std::ptrdiff_t(j), shared ? ref : Slot());
      return MakeRef<CRefTable>(std::move(refs));
    });
    if (shared) return;
  }
  // A shared ref must not become one list's writable entry.
  Set(j, shared && ref ? MakeRef<CRefImageObject>(*ref) : std::move(ref));
}

void CRefImageObjectList::erase(std::size_t j, CRefTableMemo* memo) {
  if (j >= m_size) return;
  auto it = Find(j);
  if (it != m_own.end() && it->first == j) it = m_own.erase(it);
  for (; it != m_own.end(); ++it) --it->first;
  if (m_base && j < m_base->size()) {
    if (memo) {
      Rebase(memo, [&](const CRefTable& old) {
        std::vector<Slot> refs(old.m_refs);
        refs.erase(refs.begin() + std::ptrdiff_t(j));
        return MakeRef<CRefTable>(std::move(refs));
      });
    } else {
      std::vector<Slot> refs(m_base->m_refs);
      refs.erase(refs.begin() + std::ptrdiff_t(j));
      m_base = MakeRef<CRefTable>(std::move(refs));
    }
  }
  --m_size;
}

void CRefImageObjectList::move(std::size_t from, std::size_t to, CRefTableMemo* memo) {
  if (from >= m_size || to >= m_size || from == to) return;
  auto place = [&](std::size_t k) -> std::size_t {
    if (k == from) return to;
    if (from < to && k > from && k <= to) return k - 1;
    if (to < from && k >= to && k < from) return k + 1;
    return k;
  };
  const bool full = m_base && m_base->size() == m_size;
  if (m_base && !full) DropBase();
  for (auto& e : m_own) e.first = std::uint32_t(place(e.first));
  std::sort(m_own.begin(), m_own.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
  if (m_base) {
    auto make = [&](const CRefTable& old) {
      std::vector<Slot> refs(old.m_refs);
      Slot item = refs[from];
      refs.erase(refs.begin() + std::ptrdiff_t(from));
      refs.insert(refs.begin() + std::ptrdiff_t(to), item);
      return MakeRef<CRefTable>(std::move(refs));
    };
    if (memo)
      Rebase(memo, make);
    else
      m_base = make(*m_base);
  }
}

void CRefImageObjectList::swap(CRefImageObjectList& o) noexcept {
  m_base.swap(o.m_base);
  m_own.swap(o.m_own);
  std::swap(m_size, o.m_size);
}

int CRefImageObjectList::FindObject(const CDib* object) const {
  int best = -1;
  for (const auto& [j, slot] : m_own)
    if (slot && slot->m_pObject.get() == object) {
      best = int(j);
      break;
    }
  if (!m_base) return best;
  const int t = m_base->FirstPlaceOf(object);
  if (t < 0 || std::size_t(t) >= m_size || (best >= 0 && best < t)) return best;
  if (!Explicit(std::size_t(t))) return t;
  // The base's place is overridden: look further the slow way.
  for (std::size_t j = 0; j < m_size; ++j)
    if (const CRefImageObject* r = Get(j); r && r->m_pObject.get() == object) return int(j);
  return -1;
}

CRefImageObjectList CRefImageObjectList::DeepCopy() const {
  CRefImageObjectList copy;
  copy.m_base = m_base;
  copy.m_size = m_size;
  copy.m_own.reserve(m_own.size());
  for (const auto& [j, slot] : m_own) copy.m_own.emplace_back(j, slot ? MakeRef<CRefImageObject>(*slot) : Slot());
  return copy;
}

std::vector<std::size_t> CRefImageObjectList::PlacesOf(const CDib* object) const {
  std::vector<std::size_t> places;
  for (const auto& [j, slot] : m_own)
    if (slot && slot->m_pObject.get() == object) places.push_back(j);
  if (m_base)
    for (std::uint32_t j : m_base->PlacesOf(object))
      if (j < m_size && !Explicit(j)) places.push_back(j);
  std::sort(places.begin(), places.end());
  return places;
}

RefPtr<CRefTable> CRefImageObjectList::ExchangeBase(RefPtr<CRefTable> base) {
  m_base.swap(base);
  return base;
}

RefPtr<CRefTable> CRefImageObjectList::TransformedBase(const std::function<void(CRefImageObject&)>& fn,
                                                       CRefTableMemo& memo) const {
  if (!m_base) return {};
  auto it = memo.map.find(m_base.get());
  if (it != memo.map.end()) return it->second.second;
  std::vector<Slot> refs;
  refs.reserve(m_base->size());
  for (const auto& r : m_base->m_refs) {
    Slot copy = r ? MakeRef<CRefImageObject>(*r) : Slot();
    if (copy) fn(*copy);
    refs.push_back(std::move(copy));
  }
  auto next = MakeRef<CRefTable>(std::move(refs));
  memo.map.emplace(m_base.get(), std::make_pair(m_base, next));
  return next;
}

void CRefImageObjectList::Permute(const std::vector<int>& order, const std::vector<std::size_t>& inverse,
                                  CRefTableMemo& memo) {
  if (order.size() != m_size || inverse.size() != m_size) return;
  if (m_base && m_base->size() != m_size) DropBase();
  for (auto& e : m_own) e.first = std::uint32_t(inverse[e.first]);
  std::sort(m_own.begin(), m_own.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
  if (m_base)
    Rebase(&memo, [&](const CRefTable& old) {
      std::vector<Slot> refs;
      refs.reserve(order.size());
      for (int k : order) refs.push_back(old.m_refs[std::size_t(k)]);
      return MakeRef<CRefTable>(std::move(refs));
    });
}

void CRefImageObjectList::DuplicatePlace(std::size_t j, const RefPtr<CDib>& object, CRefTableMemo& memo) {
  if (j >= m_size) return;
  auto dupOf = [&](const CRefImageObject* r) {
    Slot dup;
    if (r) {
      dup = MakeRef<CRefImageObject>(*r);
      dup->m_pObject = object;
    }
    return dup;
  };
  const Slot* own = Explicit(j);
  const bool full = m_base && m_base->size() == m_size;
  if (!full) {
    insert(j + 1, dupOf(Get(j)), nullptr, false);
    return;
  }
  Slot ownDup = own ? dupOf(own->get()) : Slot();
  for (auto& e : m_own)
    if (e.first > j) ++e.first;
  ++m_size;
  // Every list sharing the old base gets the same new base; a list whose
  // place j is its own also owns the copy.
  Rebase(&memo, [&](const CRefTable& old) {
    std::vector<Slot> refs(old.m_refs);
    refs.insert(refs.begin() + std::ptrdiff_t(j + 1), dupOf(refs[j].get()));
    return MakeRef<CRefTable>(std::move(refs));
  });
  if (own) Set(j + 1, std::move(ownDup));
}

bool ShowsObjects(const CRefImageObjectList& list, const std::vector<RefPtr<CDib>>& objects, CRefPlaceCheck& check) {
  const std::size_t n = objects.size();
  if (list.size() != n) return false;
  bool ok = true;
  list.ForEachExplicit([&](std::size_t j, const CRefImageObjectList::Slot& r) {
    if (!r || r->m_pObject != objects[j]) ok = false;
  });
  if (!ok) return false;
  const CRefTable* base = list.Base();
  if (!base) return list.ExplicitCount() == n;
  auto [it, fresh] = check.badPlaces.try_emplace(base);
  if (fresh)
    for (std::size_t j = 0; j < n; ++j)
      if (j >= base->size() || !base->Get(j) || base->Get(j)->m_pObject != objects[j]) it->second.push_back(j);
  for (std::size_t j : it->second)
    if (!list.Explicit(j)) return false;
  return true;
}
