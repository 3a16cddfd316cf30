// The marks of a file as a window shows them: line starts that the user
// marked, each with an optional one-line note, in file order. Positions are
// byte offsets like every other position, so they hold while the file grows;
// a truncation drops the marks past the new end, and a file replaced under
// the window keeps none (its owner clears the list).
//
// Every window on one file shares one list (the owner hands it to each), so a
// mark set in one shows in all. Whoever keeps the marks from one run to the
// next listens as the list's sink; loading what was kept tells it nothing.
#pragma once

#include "engine/TextPos.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CMark {
    TextPos pos = kNoPos;
    std::string note;  // UTF-8, one line; empty: no note
    bool operator==(const CMark&) const = default;
};

// Told of every change after it is made.
class IMarkSink {
public:
    virtual ~IMarkSink() = default;
    // A mark was added, or its note changed.
    virtual void OnMarkSet(const CMark& mark) = 0;
    virtual void OnMarkRemoved(TextPos pos) = 0;
    // Every mark at or past `end` went (the file was cut there; 0: all of them).
    virtual void OnMarksDroppedFrom(TextPos end) = 0;
};

class CMarkList {
public:
    // Marks `lineStart`, or takes its mark away; true when it is marked afterwards.
    bool Toggle(TextPos lineStart);
    // Adds a mark (a mark there already keeps its note); false when there was one.
    bool Add(TextPos lineStart);
    bool Remove(TextPos lineStart);
    // Gives the mark its note, made one line (line breaks become spaces, the ends trimmed); false without a mark.
    bool SetNote(TextPos lineStart, const std::string& note);

    bool IsMarked(TextPos pos) const;
    // The mark's note; null without a mark.
    const std::string* NoteOf(TextPos pos) const;
    // The first mark after `from` (before it, for Previous), going round to the first (last) when there is none
    // that way; `wrapped` says whether it went round. kNoPos without marks.
    TextPos Next(TextPos from, bool* wrapped = nullptr) const;
    TextPos Previous(TextPos from, bool* wrapped = nullptr) const;
    // The marks in [from, to), in order: the rows of a paint, a pixel row of the overview strip.
    std::vector<TextPos> Between(TextPos from, TextPos to) const;

    const std::vector<CMark>& All() const { return m_marks; }
    std::size_t Count() const { return m_marks.size(); }
    bool Empty() const { return m_marks.empty(); }
    // Counts every change: a pane that lists the marks knows when to list them again.
    std::uint64_t Version() const { return m_nVersion; }

    // The file was cut at `end`: the marks at or past it go.
    void DropFrom(TextPos end);
    // Another file is shown under the window: every mark goes.
    void Clear() { DropFrom(0); }

    // Puts kept marks in place of the list's, without telling the sink.
    void Load(std::vector<CMark> marks);
    // Who is told of changes (null: nobody); it outlives the list or is reset first.
    void SetSink(IMarkSink* sink) { m_pSink = sink; }

    // A note as it is kept: one line, trimmed.
    static std::string OneLine(const std::string& note);

private:
    std::vector<CMark>::iterator Find(TextPos pos);
    std::vector<CMark>::const_iterator Find(TextPos pos) const;

    std::vector<CMark> m_marks;  // ascending positions, no two equal
    IMarkSink* m_pSink = nullptr;
    std::uint64_t m_nVersion = 0;
};
