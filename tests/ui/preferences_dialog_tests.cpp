// The preferences dialog: a change takes effect at once, Cancel puts the
// old values back, and what the dialog set is in the INI file after exit
// and read back by the next start.
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "app/gif_frame.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/dialogs/preferences_dialog.h"

class CPreferencesDialogTests : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;

 private slots:
  void initTestCase() {
    // The default INI path follows XDG_CONFIG_HOME.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
  }

  void changesTakeEffectAtOnceAndCancelRestores() {
    CLoopwrightApp app;
    app.m_bWritePrefsOnExit = false;
    app.InitInstance(m_dir.filePath(QStringLiteral("unused.ini")).toStdString());
    CRecordingPrompt prompt;
    CLoopwrightDoc doc(app, prompt);
    struct Case { const char* key; std::int32_t value; };
    const Case cases[] = {{"DefaultDelay", 77}, {"UndoMaxTimes", 3}, {"PaintForeColor", 0x123456},
                          {"InitTransparent", 1}, {"HorzOffset", -250}};
    std::map<std::string, std::int32_t> before;
    for (const Case& c : cases) before[c.key] = app.Pref(c.key);
    {
      CPreferencesDialog dialog(doc);
      for (const Case& c : cases) {
        QVERIFY(dialog.SetValue(c.key, c.value));
        QCOMPARE(app.Pref(c.key), c.value);
      }
      // The values kept outside the table follow too.
      QCOMPARE(int(GetDefaultFrameDelay()), 77);
      QCOMPARE(doc.EditManager().GetUndoMaxTimes(), 3);
      dialog.reject();
    }
    for (const Case& c : cases) QCOMPARE(app.Pref(c.key), before[c.key]);
    QCOMPARE(int(GetDefaultFrameDelay()), before["DefaultDelay"]);
  }

  void valuesPersistAcrossStarts() {
    struct Case { const char* key; std::int32_t value; };
    const Case cases[] = {{"DefaultDelay", 150}, {"JPGQuality", 42}, {"FloodSolidColor", 0x0A0B0C},
                          {"ShowDetails", 0}, {"VertOffset", -999}, {"GeneratedFramesCount", 300}};
    {
      CLoopwrightApp app;
      app.InitInstance();
      CRecordingPrompt prompt;
      CLoopwrightDoc doc(app, prompt);
      CPreferencesDialog dialog(doc);
      for (const Case& c : cases) QVERIFY(dialog.SetValue(c.key, c.value));
      dialog.accept();
      app.ExitInstance();
    }
    QFile ini(QString::fromStdString(CPreferences::DefaultPath()));
    QVERIFY(ini.fileName().startsWith(m_dir.path()));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    CLoopwrightApp next;
    next.m_bWritePrefsOnExit = false;
    next.InitInstance();
    for (const Case& c : cases) {
      QVERIFY2(text.contains(QByteArray(c.key) + "="), c.key);
      QCOMPARE(next.Pref(c.key), c.value);
    }
  }
};

QTEST_MAIN(CPreferencesDialogTests)
#include "preferences_dialog_tests.moc"
