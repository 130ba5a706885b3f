// Plays the animation with its own delays and loop count.
#pragma once

#include <QDialog>
#include <QTimer>

class CLoopwrightDoc;
class QLabel;

class CPreviewDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CPreviewDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);
  void Start();
  int CurrentFrame() const { return m_nFrame; }
  bool Finished() const { return m_bFinished; }

  // A delay of 0 is shown for the shortest delay browsers use.
  static constexpr int kMinDelayMs = 10;

 private:
  void ShowFrame(int index);
  void Advance();

  CLoopwrightDoc& m_doc;
  QLabel* m_picture;
  QTimer m_timer;
  int m_nFrame = 0;
  int m_nLoopsLeft = 0;
  bool m_bFinished = false;
};
