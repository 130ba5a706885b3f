// Adding the frames of picture, animation, project and video files to the
// open animation after the current frame, as one undoable action.
#pragma once

#include <string>
#include <vector>

class CLoopwrightDoc;
class CTevCommonProgress;

// CUpdateFramesDIBAction kinds of the two commands.
enum AddFilesKind { ADD_IMAGE_FILES_KIND = 36, ADD_AVI_FILE_KIND = 37 };

// Opens each file in order into a model of its own ("载入 %s 文件失败!" for
// a file that cannot be read; the others are still added), appends its
// objects with default names and inserts its frames one after another
// behind the current frame (at the start when there is none). Every frame
// then holds one reference per object: a missing one is a hidden copy of
// that object's reference from another frame. Frames of the document that
// gain references are replaced by copies, so that undo brings back the
// frames exactly as they were. Records one CUpdateFramesDIBAction of the
// kind; returns the number of files added (0: nothing recorded).
int AddFramesFromFiles(CLoopwrightDoc& doc, const std::vector<std::string>& paths, int kind,
                       CTevCommonProgress* progress = nullptr);

// "从图像文件中添加帧": kind 36.
inline int AddFramesFromImageFiles(CLoopwrightDoc& doc, const std::vector<std::string>& paths,
                                   CTevCommonProgress* progress = nullptr) {
  return AddFramesFromFiles(doc, paths, ADD_IMAGE_FILES_KIND, progress);
}
// "添加 AVI": kind 37.
inline bool AddFramesFromAviFile(CLoopwrightDoc& doc, const std::string& path, CTevCommonProgress* progress = nullptr) {
  return AddFramesFromFiles(doc, {path}, ADD_AVI_FILE_KIND, progress) == 1;
}
