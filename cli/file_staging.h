// Inputs and outputs as the command line names them: "-" for standard input
// or output, and files whose type is told by their content, not their name.
//
// The openers and writers pick their format by extension, so a staged input
// is reached through a link (or, for standard input, a copy) in a private
// temporary folder whose name carries the extension of the type its first
// bytes show. The extension of the original name only breaks ties (JPG or
// JPEG, BMP or DIB) and decides for types without a signature (TGA, PCX).
#pragma once

#include <iosfwd>
#include <string>

// The upper-case extension of the type the file's first bytes show ("GIF",
// "PNG", "JPG", "LWP", "AVI", "ANI", ...), "" when they show none.
std::string SniffFileType(const std::string& path);
// The same for bytes already read.
std::string SniffBytes(const unsigned char* head, std::size_t size);

// A private temporary folder, removed with everything in it on destruction.
class CTempFolder {
 public:
  CTempFolder() = default;
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;
  ~CTempFolder();
  // Creates the folder on first use; "" when that fails.
  const std::string& Path();

 private:
  std::string m_path;
};

class CStagedInput {
 public:
  // Makes the input openable; false with message when it cannot be read or
  // (standard input) its type cannot be told.
  bool Prepare(const std::string& userPath, std::string& message);
  // The path to hand to the openers.
  const std::string& Path() const { return m_path; }
  // The name to show in messages.
  const std::string& Display() const { return m_display; }
  // Upper-case extension of the input's type ("" when unknown).
  const std::string& Type() const { return m_type; }

 private:
  CTempFolder m_temp;
  std::string m_path, m_display, m_type;
};

// An output: a real path, or for "-" a temporary file copied to standard
// output by Finish.
class CStagedOutput {
 public:
  // ext: the upper-case extension to write when the output is "-".
  bool Prepare(const std::string& userPath, const std::string& ext, std::string& message);
  const std::string& Path() const { return m_path; }
  bool IsStdout() const { return m_stdout; }
  // Copies the written file to standard output (nothing for a real path).
  bool Finish(std::string& message);

 private:
  CTempFolder m_temp;
  std::string m_path;
  bool m_stdout = false;
};
