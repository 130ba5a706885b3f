// The message catalogue: every user-facing text (messages, questions,
// captions, undo texts) goes through Tr. The source text is English, the
// default language; translations live in po/<lang>.po, compiled with msgfmt
// into <locale dir>/<lang>/LC_MESSAGES/loopwright.mo.
#pragma once

#include <initializer_list>
#include <string>

// The text for msgid in the user's language; msgid itself when there is no
// translation. The pointer stays valid for the life of the process.
const char* Tr(const char* msgid);

// Marks a text for the catalogue where it is stored untranslated (tables,
// constants); it is translated where it is shown.
constexpr const char* TrMark(const char* msgid) { return msgid; }

// Tr(msgid) with each "%s" replaced by the next of args, in order.
std::string TrFormat(const char* msgid, std::initializer_list<std::string> args);

// A named message constant that is translated each time it is used, so the
// language in force at that moment applies.
struct TrText {
  const char* msgid;
  operator std::string() const { return Tr(msgid); }
  const char* c_str() const { return Tr(msgid); }
  friend bool operator==(const TrText& t, const std::string& s) { return s == t.c_str(); }
};

// Takes the message language from the environment (LC_ALL, LC_MESSAGES,
// LANG, and GNU's LANGUAGE list). Programs call it first thing in main; Tr
// calls it on first use too, so library users and tests need not. Only the
// message category changes: numbers and character classes keep the C rules
// that files and scripts rely on.
void InitMessageLanguage();

// The folder holding the compiled catalogues this process uses.
const std::string& MessageCatalogueDir();

// A menu or command text as a terminal shows it: access-key markers ("&U",
// "(&U)") removed, "&&" kept as one "&", a "prompt\nmenu text" pair reduced
// to its menu text, and "\r\n" turned into a line feed.
std::string PlainText(const std::string& text);
