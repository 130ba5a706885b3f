// How the core talks to the user: messages, Yes/No questions and status
// captions. The CLI prints on stderr and answers from its options, tests
// script the answers, the GUI will show dialogs.
#pragma once

#include <string>

enum class MessageKind { Info, Warning, Error };

class CPromptInterface {
 public:
  virtual ~CPromptInterface() = default;
  virtual void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption = {}) = 0;
  // True for Yes.
  virtual bool AskYesNo(const std::string& question) = 0;
  // Yes/No/Cancel question (unsaved changes); without a Cancel button of its
  // own a prompt answers it as a Yes/No question.
  enum class Answer { Yes, No, Cancel };
  virtual Answer AskYesNoCancel(const std::string& question) { return AskYesNo(question) ? Answer::Yes : Answer::No; }
  // Status-bar caption of a running operation ("载入文件" ...).
  virtual void SetStatusCaption(const std::string& /*caption*/) {}
};

// Records messages and answers every question with a fixed answer.
class CScriptedPrompt : public CPromptInterface {
 public:
  explicit CScriptedPrompt(bool answer = true) : m_bAnswer(answer) {}
  void ShowMessage(const std::string& text, MessageKind, const std::string& = {}) override { m_strLast = text; ++m_nMessages; }
  bool AskYesNo(const std::string& question) override { m_strLastQuestion = question; return m_bAnswer; }
  void SetStatusCaption(const std::string& caption) override { m_strCaption = caption; }

  bool m_bAnswer;
  std::string m_strLast, m_strLastQuestion, m_strCaption;
  int m_nMessages = 0;
};

// printf-style "%s" substitution of one argument into a message text.
std::string FormatMessage1(const std::string& format, const std::string& arg);
