// The project file (.lwp): the whole animation in editable form.
//
// Layout (little-endian): header; one 88-byte record per object (data
// offset and size patched after the data is written); one record per frame
// (16 bytes + 12 per reference, references in object order); one data block
// per object. WriteProjectFile writes version "2004"/"2007"; ReadProjectFile
// reads "1000", "2000", "2001", "2002", "2003" and "2004".
//
// Generator objects (kinds 4 picture, 5 text, 6 shape) store their block
// through their CDibFactory: a text or shape block is a 32-bit word followed
// by what the factory's Save writes (its Load gets the word as `reserved`);
// a picture block is entirely the factory's (its parameters, then a planar
// image block, see app/planar_image.h). Readers create factories through the
// registry below; a kind with no registered creator cannot be read.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "app/gif_image.h"

class CTevCommonProgress;

// Creates an empty factory for an object stored with storedKind in a file of
// the given version ("2003" files number the older shape layouts 1-3 and the
// older text layouts 5-6; they are registered under kinds 6 and 5).
using DibFactoryCreator = std::function<RefPtr<CDibFactory>(std::int32_t storedKind, const char* version)>;

// Registers (or with an empty creator removes) the creator of kind 4, 5 or 6.
// Returns false for any other kind.
bool RegisterDibFactory(std::int32_t kind, DibFactoryCreator creator);
RefPtr<CDibFactory> CreateDibFactory(std::int32_t kind, std::int32_t storedKind, const char* version);

struct CProjectReadInfo {
  bool projectLoaded = false;  // versions "2000" to "2004"; "1000" leaves naming to the document
  std::string reason;          // why a read failed
};

// Writes the model as a "2004"/"2007" project. The file is written beside
// the target under a temporary name and renamed over it, so a failed save
// leaves the previous file untouched. Progress caption "保存帧...".
bool WriteProjectFile(const CGifImage& model, const std::string& path, CTevCommonProgress* progress = nullptr,
                      std::string* reason = nullptr);

// Empties model and reads the project into it; on failure model is left
// empty. Every count, size and offset is checked against the file length
// before use. Progress caption "构建帧...".
bool ReadProjectFile(CGifImage& model, const std::string& path, CTevCommonProgress* progress = nullptr,
                     CProjectReadInfo* info = nullptr);
// The same on an open stream of fileSize bytes, read from its start.
bool ReadProjectStream(CGifImage& model, std::FILE* file, long long fileSize, CTevCommonProgress* progress = nullptr,
                       CProjectReadInfo* info = nullptr);
