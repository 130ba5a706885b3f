// Shared by the dialog and window tests: a prompt that records what it is
// told, a document built in memory with pictures that differ in every pixel,
// and a base for the dialog test classes with an application on throw-away
// preferences.
#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/loopwright_app.h"
#include "app/loopwright_doc.h"
#include "companions/base/dib.h"

// Records what it is told; answers Yes/No questions with yes and the
// unsaved-changes question from a queue (Cancel when it is empty).
class CRecordingPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string& text, MessageKind, const std::string& = {}) override { messages.push_back(text); }
  bool AskYesNo(const std::string&) override { return yes; }
  Answer AskYesNoCancel(const std::string& question) override {
    questions.push_back(question);
    if (answers.empty()) return Answer::Cancel;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> messages, questions;
  std::deque<Answer> answers;
  bool yes = true;
};

inline std::vector<const CGifFrame*> FrameOrder(const CLoopwrightDoc& doc) {
  std::vector<const CGifFrame*> order;
  for (const auto& frame : doc.m_frames) order.push_back(frame.get());
  return order;
}

// A 32-bit opaque picture whose colour follows x, y and seed.
inline DibPtr PatternPicture(int width, int height, int seed) {
  DibPtr dib(DibAlloc(width, height, 32));
  for (int y = 0; y < height; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    for (int x = 0; x < width; ++x) {
      row[4 * x] = BYTE(x * 255 / (width > 1 ? width - 1 : 1));
      row[4 * x + 1] = BYTE(y * 255 / (height > 1 ? height - 1 : 1));
      row[4 * x + 2] = BYTE((x + y) * 7 + seed * 40);
      row[4 * x + 3] = 255;
    }
  }
  return dib;
}

// A new document of frames x (width x height); frame i shows its own object
// with PatternPicture(.., i). Frame 0 is current and selected.
inline std::unique_ptr<CLoopwrightDoc> MakePatternDoc(CLoopwrightApp& app, CPromptInterface& prompt, int width,
                                                      int height, int frames) {
  auto doc = std::make_unique<CLoopwrightDoc>(app, prompt);
  doc->OnNewDocument(width, height);
  for (int i = 1; i < frames; ++i) doc->InsertFrame(i, doc->CreateBlankFrame(doc->GetFrame(0)));
  for (int i = 0; i < frames; ++i) {
    auto object = MakeRef<CDib>(PatternPicture(width, height, i));
    const int index = doc->GetObjectCount();
    doc->InsertObject(index, object);
    doc->GetFrame(i)->m_refs.Edit(std::size_t(index))->m_bVisible = true;
  }
  // The blank object of a new document stays hidden everywhere.
  if (doc->GetObjectCount() > frames) doc->GetFrame(0)->m_refs.Edit(0)->m_bVisible = false;
  doc->SelectSingleFrame(0);
  doc->SetModifiedFlag(false);
  return doc;
}

// The base of the dialog test classes (each declares its own slots).
class CDialogTestBase : public QObject {
 protected:
  CDialogTestBase() {
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }
  QTemporaryDir m_dir;
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
};
