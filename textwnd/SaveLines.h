// Save Lines: writes chosen lines of a text (the marked lines, a filter's
// listed lines) or a stretch of it (a selection) to a file that the user
// names, in the text's own encoding and line breaks: the bytes as they stand
// in the file, its byte-order mark first, each line with the break it has
// there (the last line of a file that ends without one stays without).
//
// The file is written beside the target under a temporary name, flushed and
// renamed into place (platform/ReplacingWriter.h), so a full disk or any
// other failure leaves the target as it was. A viewed file is never written:
// a target that names a file open in the viewer, under any spelling or link,
// is refused before anything is written.
#pragma once

#include "engine/TextPos.h"
#include "platform/File.h"
#include "textwnd/LineModel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace savelines {

// Line starts in the order they are to be written (file order for the marks and a filter).
struct CLineSet {
    std::int64_t count = 0;
    std::function<TextPos(std::int64_t)> at;
};
CLineSet LinesOf(const std::vector<TextPos>& starts);

enum class SaveResult {
    Saved,
    ViewedFile,  // the target is a file open in the viewer: nothing was written
    Failed,      // nothing replaced the target; `error` says why
};
struct CSaveOutcome {
    SaveResult result = SaveResult::Failed;
    std::string error;
    std::uint64_t lines = 0;
    std::uint64_t bytes = 0;
};

// Whether `target` names one of the files behind `viewed` (documents' paths): the same spelling once made
// absolute, or the same device and inode.
bool NamesViewedFile(const std::string& target, const std::vector<std::string>& viewed);

// `text` reads the file open as `source` (a descriptor of the mapped file: the bytes are read with pread, so a
// long save maps nothing in). `viewed`: the paths open in the viewer.
CSaveOutcome SaveLines(const CLineModel& text, platform::FileHandle source, const CLineSet& lines,
                       const std::string& target, const std::vector<std::string>& viewed);
// The bytes of [from, to) (brought within the text), after the byte-order mark.
CSaveOutcome SaveRange(const CLineModel& text, platform::FileHandle source, TextPos from, TextPos to,
                       const std::string& target, const std::vector<std::string>& viewed);

}  // namespace savelines
