#include "cli/convert_command.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/import_dispatch.h"
#include "cli/console_prompt.h"
#include "cli/file_staging.h"
#include "cli/frame_edits.h"
#include "cli/text_format.h"
#include "companions/base/tr.h"
#include "editing/add_files_action.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The message with the staged path shown as the name the user gave.
std::string Shown(std::string message, const CStagedInput& in) {
  if (in.Path() == in.Display()) return message;
  for (std::size_t at; (at = message.find(in.Path())) != std::string::npos;)
    message.replace(at, in.Path().size(), in.Display());
  return message;
}

void PrintOpenFailure(const CLoopwrightDoc& doc, const CStagedInput& in) {
  std::string text = doc.m_strLastError;
  if (text.empty()) text = Format(Tr("cannot open %s"), in.Display().c_str());
  std::fprintf(stderr, "loopwright: %s\n", Shown(text, in).c_str());
}

struct Job {
  std::vector<std::string> inputs;
  std::string output;  // "" with --frames only
};

// Opens the inputs (the first as the document, the others appended after
// its last frame), applies the edits and writes the output.
int ConvertOne(CLoopwrightDoc& doc, const Job& job, const CConvertCli& o, const CConvertOptions& exportOptions,
               const CFrameEdits& edits) {
  std::vector<std::unique_ptr<CStagedInput>> staged;
  for (const std::string& file : job.inputs) {
    auto in = std::make_unique<CStagedInput>();
    std::string message;
    if (!in->Prepare(file, message)) {
      std::fprintf(stderr, "loopwright: %s: %s\n", file == "-" ? Tr("standard input") : file.c_str(), message.c_str());
      return 1;
    }
    staged.push_back(std::move(in));
  }
  const std::string format = o.table.Text("format");
  CStagedOutput out;
  std::string message;
  const std::string outExt = !format.empty() ? format : staged.front()->Type();
  if (!job.output.empty() && !out.Prepare(job.output, outExt, message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 2;
  }
  CExportSettings settings;
  std::string base, ext;
  if (int rc = PrepareConvertExport(doc, out.Path(), exportOptions, settings, base, ext, message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return rc;
  }

  if (!doc.OnOpenDocument(staged.front()->Path(), &ConsoleProgress())) {
    PrintOpenFailure(doc, *staged.front());
    return 1;
  }
  if (staged.size() > 1) {
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < staged.size(); ++i) rest.push_back(staged[i]->Path());
    doc.SelectSingleFrame(doc.GetFrameCount() - 1);
    const int added = AddFramesFromImageFiles(doc, rest, &ConsoleProgress());
    if (added != int(rest.size())) {
      std::fprintf(stderr, "loopwright: %s\n",
                   Format(Tr("only %d of %d further inputs could be added"), added, int(rest.size())).c_str());
      return 1;
    }
  }
  if (int rc = ApplyFrameEdits(doc, edits, message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return rc;
  }
  const std::string shown = out.IsStdout() ? Tr("standard output") : job.output;
  if (int rc = WriteConvertOutputs(doc, out.Path(), shown, exportOptions, settings, base, ext, message)) {
    if (!message.empty()) std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return rc;
  }
  if (!out.Finish(message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 1;
  }
  return 0;
}

int RunBatch(CLoopwrightDoc& doc, const CConvertCli& o, const std::vector<std::string>& files,
             const CConvertOptions& exportOptions, const CFrameEdits& edits) {
  const std::string output = o.table.Text("output"), suffix = o.table.Text("suffix"), format = o.table.Text("format");
  std::error_code ec;
  const bool toFolder = !output.empty();
  if (toFolder && output.back() != '/' && !fs::is_directory(output, ec)) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("--batch writes into a folder: give -o DIR/ (or --suffix)"));
    return 2;
  }
  if (!toFolder && suffix.empty()) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("--batch needs -o DIR/ or --suffix TEXT"));
    return 2;
  }
  for (const std::string& f : files)
    if (f == "-") {
      std::fprintf(stderr, "loopwright: %s\n", Tr("--batch reads files, not standard input"));
      return 2;
    }
  if (toFolder) fs::create_directories(output, ec);
  int failed = 0;
  std::string failedNames;
  for (const std::string& f : files) {
    const std::string target = BatchOutputPath(f, toFolder ? output : std::string(), suffix, Lower(format));
    const int rc = ConvertOne(doc, Job{{f}, target}, o, exportOptions, edits);
    if (rc != 0) {
      ++failed;
      failedNames += (failedNames.empty() ? "" : ", ") + f;
    }
  }
  const int total = int(files.size());
  std::fprintf(stderr, "loopwright: %s\n", Format(Tr("converted %d of %d files"), total - failed, total).c_str());
  if (failed) std::fprintf(stderr, "loopwright: %s %s\n", Tr("failed:"), failedNames.c_str());
  return failed ? 1 : 0;
}

}  // namespace

std::string BatchOutputPath(const std::string& input, const std::string& outDir, const std::string& suffix,
                            const std::string& ext) {
  const fs::path in(input);
  std::string name = in.stem().string();
  std::string extension = ext.empty() ? in.extension().string() : "." + ext;
  if (ext.empty()) {
    // The input's own type when it can be written, GIF otherwise.
    const std::string sniffed = SniffFileType(input);
    const std::string type = sniffed.empty() ? UpperExtension(input) : sniffed;
    static const char* const kWritable[] = {"GIF", "LWP", "ICO", "CUR", "ANI", "PSD", "AVI"};
    bool writable = false;
    for (const char* w : kWritable) writable = writable || type == w;
    if (!writable) extension = ".gif";
    else if (UpperExtension(input) != type) extension = "." + Lower(type);
  }
  if (outDir.empty()) return (in.parent_path() / (name + suffix + extension)).string();
  return (fs::path(outDir) / (name + suffix + extension)).string();
}

CLI::App* AddConvertCommand(CLI::App& cli, CConvertCli& o) {
  return AddTableCommand(cli, "convert", o.table);
}

int RunConvertCommand(CLoopwrightDoc& doc, const CConvertCli& o) {
  const CFrameEdits edits = FrameEditsFromTable(o.table);
  const CConvertOptions exportOptions = ConvertOptionsFromTable(o.table);
  const std::vector<std::string> files = o.table.List("FILES");
  std::string message;
  if (!CheckFrameEdits(edits, message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 2;
  }
  if (o.table.Flag("batch")) return RunBatch(doc, o, files, exportOptions, edits);
  if (!o.table.Text("suffix").empty()) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("--suffix goes with --batch"));
    return 2;
  }
  Job job{files, o.table.Text("output")};
  // The old form "convert IN OUT": without -o the last file is the output.
  if (job.output.empty() && job.inputs.size() >= 2) {
    job.output = job.inputs.back();
    job.inputs.pop_back();
  }
  int stdinCount = 0;
  for (const std::string& f : job.inputs) stdinCount += f == "-" ? 1 : 0;
  if (stdinCount > 1) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("standard input can be read only once"));
    return 2;
  }
  return ConvertOne(doc, job, o, exportOptions, edits);
}
