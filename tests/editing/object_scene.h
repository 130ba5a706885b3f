// A document with one object of every kind over four frames, for the
// object command tests: a raster picture with a transparent border (3
// columns left, 2 rows top), a picture object, a text and a shape; each
// reference placed, shown, locked and made transparent differently. State()
// is the document as a project file's bytes plus the snapshot of every
// picture and composed frame.
#pragma once

#include <fstream>
#include <sstream>

#include "app/dib_factories.h"
#include "app/project_file.h"
#include "app/temp_dir.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"

class ObjectScene : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 64, 48));
    m_doc.EditManager().SetUndoMaxTimes(100000);
    auto raster = MakeRef<CDib>(PatternPicture(12, 10, [](int x, int y) {
      const bool border = x < 3 || y < 2;
      return std::array<BYTE, 4>{BYTE(20 * x), BYTE(25 * y), 180, BYTE(border ? 0 : 200 + x)};
    }));
    raster->m_strName = "raster";
    auto source = PatternPicture(9, 7, [](int x, int y) {
      return std::array<BYTE, 4>{BYTE(28 * x), 90, BYTE(36 * y), 255};
    });
    RefPtr<CDib> picture = CreateGeneratorObject(MakeRef<CBitmapDibFactory>(std::move(source)), OBJECT_PICTURE);
    TevCustomPathLibV::CTevTextObj text;
    auto font = text.Font();
    font.size = 14;
    text.SetFont(font);
    text.SetText("Ab");
    RefPtr<CDib> label = CreateGeneratorObject(MakeRef<CTextDibFactory>(text), OBJECT_TEXT);
    TevCustomPathLibV::CTevShapeObj star(TevCustomPathLibV::kShapeStar, 20, 18);
    RefPtr<CDib> shape = CreateGeneratorObject(MakeRef<CShapeDibFactory>(star), OBJECT_SHAPE);
    ASSERT_TRUE(picture && label && shape);
    picture->m_strName = "picture";
    label->m_strName = "text";
    shape->m_strName = "shape";
    m_doc.m_objects = {raster, picture, label, shape};
    AddFrames(m_doc, 4, [](int i) { return 10 + i; }, [](int i, int j, CRefImageObject& r) {
      r.m_nX = 3 * i + 11 * j;
      r.m_nY = 2 * j - i;
      r.m_bVisible = (i + j) % 3 != 2;
      r.m_nTransparency = 17 * j + 5 * i;
    });
    m_doc.SelectSingleFrame(1);
  }

  // Project bytes and the pixel snapshot.
  std::string State() {
    std::string reason;
    const std::string path = m_dir.File("state.lwp");
    if (!WriteProjectFile(m_doc, path, nullptr, &reason)) return "save failed: " + reason;
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str() + "\n" + Snapshot(m_doc);
  }

  void Select(const std::vector<int>& objects) {
    m_doc.m_selectedObjects.clear();
    for (int j : objects) m_doc.m_selectedObjects.push_back(m_doc.m_objects[std::size_t(j)]);
  }
  std::size_t Recorded() { return m_doc.EditManager().UndoList().size(); }
  CRefImageObject& Ref(int frame, int object) { return *m_doc.m_frames[std::size_t(frame)]->m_refs.Edit(std::size_t(object)); }

  TempDir m_dir;
  CLoopwrightApp m_app;
  CScriptedPrompt m_prompt{true};
  CLoopwrightDoc m_doc{m_app, m_prompt};
};
