#include "cli/file_staging.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <unistd.h>

#include "app/import_dispatch.h"
#include "cli/text_format.h"
#include "companions/base/tr.h"
#include "companions/imageio/codec_table.h"

namespace fs = std::filesystem;

namespace {

struct FormatExtension {
  int format;
  const char* ext;
};

const FormatExtension kFormatExtensions[] = {
    {TevImageIO::IMAGE_FORMAT_BMP, "BMP"},  {TevImageIO::IMAGE_FORMAT_CUR, "CUR"},
    {TevImageIO::IMAGE_FORMAT_ICO, "ICO"},  {TevImageIO::IMAGE_FORMAT_PCX, "PCX"},
    {TevImageIO::IMAGE_FORMAT_GIF, "GIF"},  {TevImageIO::IMAGE_FORMAT_PNG, "PNG"},
    {TevImageIO::IMAGE_FORMAT_TGA, "TGA"},  {TevImageIO::IMAGE_FORMAT_WMF, "WMF"},
    {TevImageIO::IMAGE_FORMAT_EMF, "EMF"},  {TevImageIO::IMAGE_FORMAT_TIFF, "TIF"},
    {TevImageIO::IMAGE_FORMAT_JPEG, "JPG"}, {TevImageIO::IMAGE_FORMAT_PSD, "PSD"},
    {TevImageIO::IMAGE_FORMAT_ANI, "ANI"},
};

// Extensions that name the same type.
std::string Canonical(const std::string& ext) {
  if (ext == "JPEG") return "JPG";
  if (ext == "TIFF") return "TIF";
  if (ext == "DIB") return "BMP";
  return ext;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Stem(const std::string& path) {
  std::string stem = fs::path(path).stem().string();
  return stem.empty() ? "input" : stem;
}

}  // namespace

std::string SniffBytes(const unsigned char* head, std::size_t size) {
  if (size >= 4 && std::memcmp(head, "LWP ", 4) == 0) return "LWP";
  if (size >= 12 && std::memcmp(head, "RIFF", 4) == 0) {
    if (std::memcmp(head + 8, "AVI ", 4) == 0) return "AVI";
    if (std::memcmp(head + 8, "ACON", 4) == 0) return "ANI";
  }
  const TevImageIO::ImageCodec* codec = TevImageIO::SniffImageCodec(head, size);
  if (!codec) return {};
  for (const auto& f : kFormatExtensions)
    if (f.format == codec->format) return f.ext;
  return {};
}

std::string SniffFileType(const std::string& path) {
  unsigned char head[TevImageIO::kSniffBytes] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  return SniffBytes(head, std::size_t(in.gcount()));
}

CTempFolder::~CTempFolder() {
  if (m_path.empty()) return;
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

const std::string& CTempFolder::Path() {
  if (!m_path.empty()) return m_path;
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "loopwright-XXXXXX").string();
  if (ec) pattern = "/tmp/loopwright-XXXXXX";
  if (::mkdtemp(pattern.data())) m_path = pattern;
  return m_path;
}

bool CStagedInput::Prepare(const std::string& userPath, std::string& message) {
  if (userPath == "-") {
    m_display = Tr("standard input");
    const std::string bytes{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    m_type = SniffBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (m_type.empty()) {
      message = Tr("the type of standard input cannot be told from its content");
      return false;
    }
    const std::string& dir = m_temp.Path();
    if (dir.empty()) return message = Tr("cannot create a temporary folder"), false;
    m_path = dir + "/stdin." + Lower(m_type);
    std::ofstream out(m_path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out.flush()) return message = Tr("cannot keep a copy of standard input"), false;
    return true;
  }
  m_display = userPath;
  m_path = userPath;
  std::error_code ec;
  if (!fs::is_regular_file(userPath, ec)) return true;  // the opener reports it
  const std::string named = UpperExtension(userPath);
  const std::string sniffed = SniffFileType(userPath);
  m_type = sniffed.empty() ? Canonical(named) : sniffed;
  if (sniffed.empty() || Canonical(named) == sniffed) return true;
  // The content and the name disagree: the content wins.
  const std::string& dir = m_temp.Path();
  if (dir.empty()) return message = Tr("cannot create a temporary folder"), false;
  const std::string link = dir + "/" + Stem(userPath) + "." + Lower(sniffed);
  fs::create_symlink(fs::absolute(userPath, ec), link, ec);
  if (ec) return message = Tr("cannot link the input into a temporary folder"), false;
  m_path = link;
  return true;
}

bool CStagedOutput::Prepare(const std::string& userPath, const std::string& ext, std::string& message) {
  m_stdout = userPath == "-";
  if (!m_stdout) {
    m_path = userPath;
    return true;
  }
  if (ext.empty()) return message = Tr("writing to standard output needs --format"), false;
  const std::string& dir = m_temp.Path();
  if (dir.empty()) return message = Tr("cannot create a temporary folder"), false;
  m_path = dir + "/stdout." + Lower(ext);
  return true;
}

bool CStagedOutput::Finish(std::string& message) {
  if (!m_stdout) return true;
  std::ifstream in(m_path, std::ios::binary);
  if (!in) return message = Tr("the output was not written"), false;
  std::cout << in.rdbuf();
  std::cout.flush();
  if (!std::cout) return message = Tr("cannot write to standard output"), false;
  return true;
}
