// Sparse reference lists: every operation reads back as the same operation
// on a plain array would, lists sharing a base never see each other's
// changes, and a normalized import stores a bounded number of own entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gif_image.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

// What a reference shows, for comparing with a plain array.
struct Value {
  const CDib* object;
  int x;
  bool visible;
  bool operator==(const Value&) const = default;
};

std::vector<Value> Read(const CRefImageObjectList& list) {
  std::vector<Value> out;
  for (const CRefImageObject* r : list) out.push_back(r ? Value{r->m_pObject.get(), r->m_nX, r->m_bVisible} : Value{});
  return out;
}

struct Fixture {
  std::vector<RefPtr<CDib>> objects;
  Fixture() {
    for (int i = 0; i < 6; ++i) objects.push_back(MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(1, 1, 0, 255))));
  }
  RefPtr<CRefImageObject> Ref(int object, int x, bool visible) const {
    auto r = MakeRef<CRefImageObject>(objects[std::size_t(object)]);
    r->m_nX = x;
    r->m_bVisible = visible;
    return r;
  }
  // Two lists over one base of four entries (x = 10 * j, place 1 visible),
  // the second with its own entry at place 2.
  void Build(CRefImageObjectList& a, CRefImageObjectList& b, std::vector<Value>& va, std::vector<Value>& vb) const {
    std::vector<RefPtr<CRefImageObject>> base;
    for (int j = 0; j < 4; ++j) base.push_back(Ref(j, 10 * j, j == 1));
    auto table = MakeRef<CRefTable>(base);
    a = CRefImageObjectList(table, 4);
    b = CRefImageObjectList(table, 4);
    b.Set(2, Ref(2, 99, true));
    for (const auto& r : base) va.push_back({r->m_pObject.get(), r->m_nX, r->m_bVisible});
    vb = va;
    vb[2] = {objects[2].get(), 99, true};
  }
};

using Step = void (*)(const Fixture&, CRefImageObjectList&, CRefImageObjectList&, std::vector<Value>&,
                      std::vector<Value>&);

struct Case {
  const char* name;
  Step step;
};

// Each case applies one operation to both lists (with one memo, as the model
// does) and to the plain arrays.
const Case kCases[] = {
    {"edit copies on write",
     [](const Fixture&, CRefImageObjectList& a, CRefImageObjectList&, std::vector<Value>& va, std::vector<Value>&) {
       a.Edit(0)->m_nX = 5;
       a.Edit(3)->m_bVisible = true;
       va[0].x = 5;
       va[3].visible = true;
     }},
    {"insert shared on top and inside",
     [](const Fixture& f, CRefImageObjectList& a, CRefImageObjectList& b, std::vector<Value>& va,
        std::vector<Value>& vb) {
       CRefTableMemo memo;
       auto shared = f.Ref(4, 7, false);
       a.insert(1, shared, &memo, true);
       b.insert(1, shared, &memo, true);
       va.insert(va.begin() + 1, Value{f.objects[4].get(), 7, false});
       vb.insert(vb.begin() + 1, Value{f.objects[4].get(), 7, false});
       a.Edit(1)->m_nX = 8;  // must not reach b through the shared base
       va[1].x = 8;
     }},
    {"erase below an own entry",
     [](const Fixture&, CRefImageObjectList& a, CRefImageObjectList& b, std::vector<Value>& va,
        std::vector<Value>& vb) {
       CRefTableMemo memo;
       a.erase(1, &memo);
       b.erase(1, &memo);
       va.erase(va.begin() + 1);
       vb.erase(vb.begin() + 1);
     }},
    {"move up and down",
     [](const Fixture&, CRefImageObjectList& a, CRefImageObjectList& b, std::vector<Value>& va,
        std::vector<Value>& vb) {
       CRefTableMemo memo;
       a.move(0, 3, &memo);
       b.move(0, 3, &memo);
       for (auto* v : {&va, &vb}) {
         Value item = (*v)[0];
         v->erase(v->begin());
         v->insert(v->begin() + 3, item);
       }
       CRefTableMemo back;
       a.move(3, 1, &back);
       b.move(3, 1, &back);
       for (auto* v : {&va, &vb}) {
         Value item = (*v)[3];
         v->erase(v->begin() + 3);
         v->insert(v->begin() + 1, item);
       }
     }},
    {"permute",
     [](const Fixture&, CRefImageObjectList& a, CRefImageObjectList& b, std::vector<Value>& va,
        std::vector<Value>& vb) {
       const std::vector<int> order{2, 0, 3, 1};
       std::vector<std::size_t> inverse(4);
       for (std::size_t k = 0; k < 4; ++k) inverse[std::size_t(order[k])] = k;
       CRefTableMemo memo;
       a.Permute(order, inverse, memo);
       b.Permute(order, inverse, memo);
       for (auto* v : {&va, &vb}) {
         const auto old = *v;
         for (std::size_t k = 0; k < 4; ++k) (*v)[k] = old[std::size_t(order[k])];
       }
     }},
    {"duplicate a base place and an own place",
     [](const Fixture& f, CRefImageObjectList& a, CRefImageObjectList& b, std::vector<Value>& va,
        std::vector<Value>& vb) {
       for (std::size_t j : {2u, 0u}) {
         CRefTableMemo memo;
         a.DuplicatePlace(j, f.objects[5], memo);
         b.DuplicatePlace(j, f.objects[5], memo);
         for (auto* v : {&va, &vb}) {
           Value copy = (*v)[j];
           copy.object = f.objects[5].get();
           v->insert(v->begin() + std::ptrdiff_t(j + 1), copy);
         }
       }
     }},
};

class SparseListCase : public ::testing::TestWithParam<Case> {};

TEST_P(SparseListCase, ReadsBackAsAPlainArray) {
  Fixture f;
  CRefImageObjectList a, b;
  std::vector<Value> va, vb;
  f.Build(a, b, va, vb);
  GetParam().step(f, a, b, va, vb);
  EXPECT_EQ(Read(a), va);
  EXPECT_EQ(Read(b), vb);
  // The visible walk sees exactly the visible places, in order.
  for (const auto* pair : {&a, &b}) {
    const std::vector<Value> all = Read(*pair);
    std::vector<std::size_t> expected, seen;
    for (std::size_t j = 0; j < all.size(); ++j)
      if (all[j].visible) expected.push_back(j);
    pair->ForEachShown([&](std::size_t j, const CRefImageObject&) { seen.push_back(j); });
    EXPECT_EQ(seen, expected);
    for (std::size_t j = 0; j < all.size(); ++j) {
      const int k = pair->FindObject(all[j].object);
      ASSERT_GE(k, 0) << "place " << j;
      EXPECT_LE(k, int(j));
      EXPECT_EQ(all[std::size_t(k)].object, all[j].object);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, SparseListCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

// An import of n frames holding one object each: after normalization every
// frame reads hidden references from one shared base and owns one entry, and
// the model reads as the invariant says.
TEST(SparseNormalization, OneOwnEntryPerImportedFrame) {
  for (int n : {1, 3, 500}) {
    CGifImage m;
    for (int i = 0; i < n; ++i) {
      auto object = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(1, 1, 0, 255)));
      auto frame = MakeRef<CGifFrame>(std::uint16_t(5));
      auto ref = MakeRef<CRefImageObject>(object);
      ref->m_nX = i;
      frame->m_refs.push_back(ref);
      m.m_objects.push_back(object);
      m.m_frames.push_back(frame);
    }
    m.NormalizeObjectReferences();
    ASSERT_TRUE(m.CheckInvariant()) << n;
    for (int i = 0; i < n; ++i) {
      const CRefImageObjectList& refs = m.m_frames[std::size_t(i)]->m_refs;
      EXPECT_EQ(refs.ExplicitCount(), 1u);
      EXPECT_EQ(refs.Base(), m.m_frames[0]->m_refs.Base());
      for (int j : {0, i, n - 1}) {
        const CRefImageObject* r = refs[std::size_t(j)];
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->m_bVisible, i == j);
        EXPECT_EQ(r->m_nX, j);
      }
    }
  }
}

}  // namespace
