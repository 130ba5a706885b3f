// The preferences dialog: every key of the preference table on pages by
// subject, each edited within its valid range. A change takes effect at
// once (the application object holds the value everything reads); Cancel
// puts back the values the dialog opened with. The window writes the
// preferences to the INI file at exit.
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "app/preferences.h"

class CLoopwrightDoc;
class QWidget;

class CPreferencesDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CPreferencesDialog(CLoopwrightDoc& doc, QWidget* parent = nullptr);

  // Sets a key through its editor (as a user would); false for a key the
  // dialog does not show.
  bool SetValue(const std::string& key, std::int32_t value);
  std::int32_t Value(const std::string& key) const;
  // The editor of a key (QSpinBox, QCheckBox or a colour button).
  QWidget* Editor(const std::string& key) const;
  int KeyCount() const { return int(m_editors.size()); }
  // The English caption of a key.
  static const char* Caption(const std::string& key);

  void reject() override;

 private:
  void Store(const std::string& key, std::int32_t value);
  QWidget* MakeEditor(const std::string& key);

  CLoopwrightDoc& m_doc;
  std::map<std::string, std::int32_t> m_opened;  // values at open, for Cancel
  std::map<std::string, QWidget*> m_editors;
};
