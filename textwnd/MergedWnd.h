// A merged window: several logs shown as one timeline in one text window.
//
// The window (CFileWnd) keeps its own file, the first of the merge, for what
// asks it about "its" file; while merged it hands painting, scrolling, copy,
// line numbers and the jumps to this part. Each file has a window of its own
// here that is never shown (CMergedSourceWnd): it maps and follows its file,
// reads its lines as a text window does (encoding, code page, long lines),
// counts its lines and knows its log format. The rows are those of
// merged::CMergedRows: the top is a time, a file and a byte position in it,
// with every file's head, and a screenful is a merge forward from the heads,
// so opening and paging cost what the screen and the number of files cost.
//
// A rotation set is a merge in sequence (merged::Order::Sequence): the parts of one log, oldest first and the
// current file last, read one after another. Only the current file is opened at first; an older part is
// opened only when the view reaches it (no row of another part lies between the screen and it, or a step back
// meets it), a compressed one decompressed in the background. Until its text is whole it has no rows; then
// the rows are made anew from the same place. Go to Time and Find open the parts that need no decompression.
#pragma once

#include "engine/MergedRows.h"
#include "file/TextFileDoc.h"
#include "textwnd/FileWnd.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CMergedWnd;

namespace mergedwnd {
// The source column: a letter and a blank before the text.
constexpr int kSourceColumns = 2;
// The file's letter: A to Z, then a to f (32 files at most).
char Letter(int file);
// The letter's colour, apart from the other files' and readable on `page` (light or dark).
platform::COLORREF LetterColor(int file, platform::COLORREF page);
// The thumb's scale: the scroll bar goes from 0 (the first record's time) to this (the last's).
constexpr std::int64_t kThumbScale = 1 << 20;
}  // namespace mergedwnd

// One file of a merge: a text window that is never shown. It tells the merge when its file changed.
class CMergedSourceWnd : public CFileWnd {
public:
    CMergedSourceWnd(IFileWndPort* port, CMergedWnd* owner, int index)
        : CFileWnd(port), m_pOwner(owner), m_nIndex(index)
    {
    }
    std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    CMergedWnd* m_pOwner;
    int m_nIndex;
};

class CMergedWnd {
public:
    struct Failure {
        std::string path;
        enum class Why { CannotOpen, NoFormat, TooMany } why = Why::CannotOpen;
    };
    explicit CMergedWnd(CFileWnd& owner);
    ~CMergedWnd();
    CMergedWnd(const CMergedWnd&) = delete;
    CMergedWnd& operator=(const CMergedWnd&) = delete;

    // Opens the files; false, with every file that cannot be merged in `failures`, when any cannot (or when
    // there are more than merged::kMaxSources or fewer than one).
    bool Open(const std::vector<std::string>& paths, bool watch, bool countLines, std::vector<Failure>& failures);
    // Opens a rotation set, `paths` oldest first and the current file last (rotation::SetOf), at its end. A
    // part that cannot be opened is left out; false when the current file cannot be.
    bool OpenSequence(const std::vector<std::string>& paths, bool watch, bool countLines);
    bool IsSequence() const { return m_bSequence; }
    // The set found anew after the current file was rotated (its name names a new file): the parts by their
    // new names, the place kept (the end, or the same row of the same file wherever its name went).
    void FindSetAnew();
    // The compressed parts not read yet, and the one being read (-1: none) with the text it holds so far.
    struct PartsProgress {
        int waiting = 0;
        int reading = -1;
        std::uint64_t bytes = 0;
    };
    PartsProgress Progress() const;
    // Whether a part's text is not read yet (it has no rows until then).
    bool IsPending(int file) const;
    // A part's background reader told of progress: its rows join once its text is whole.
    void OnPartProgress(int file);
    // The files of a merge left out once their text was whole (a compressed file without times, or empty):
    // each is handed over once, for the user to be told.
    std::vector<Failure> TakeLateFailures() { return std::exchange(m_lateFailures, {}); }

    int Count() const { return static_cast<int>(m_files.size()); }
    const std::string& PathOf(int file) const { return m_files[static_cast<std::size_t>(file)].path; }
    CFileWnd& WindowOf(int file) { return *m_files[static_cast<std::size_t>(file)].wnd; }
    // A file hidden from the rows (Sources): the others go on from the same time.
    bool IsHidden(int file) const { return m_files[static_cast<std::size_t>(file)].hidden; }
    void SetHidden(int file, bool hidden);

    // The painted rows: their files (-1 past the last row) and where each starts in its file.
    struct PaintedRow {
        int file = -1;
        TextPos start = kNoPos, next = kNoPos;
        bool followsHidden = false;  // filtered: hidden lines of its file lie before it (a rule above it)
        bool context = false;        // filtered: a context line
    };
    const std::vector<PaintedRow>& PaintedRows() const { return m_painted; }
    // The file of the top row (-1 without rows).
    int TopFile() const;
    const merged::Top& Top() const { return m_top; }
    // Whether the last screenful is shown (a following window stays there).
    bool AtEnd() const { return m_bAtEnd; }

    // What the window hands over while merged.
    void Paint(IFilePainter& painter);
    void VScroll(int code);
    void OnSize();
    void UpdateScroll();
    void CopyScreen();
    std::vector<std::int64_t> RowLineNumbers();
    bool GoToLine(std::int64_t n);
    CFileWnd::TimeJump GoToMicros(std::int64_t micros);
    logformat::Record TopRecord();
    // Find on the merged rows, as the window's own searches return: 0 found (highlighted, shown), 1 not found,
    // 2 an invalid pattern, 3 cancelled. Each file is searched by its own window from its head; the match
    // that comes first (last, backwards) in the merged order wins, going round at the end.
    int Find(bool ignoreCase, const std::u16string& text, bool restart, bool forward);
    // Shows the row of `file` that starts at `lineStart` about the middle of the screen (filtered: the first
    // shown row at or after it), [matchStart, matchEnd) of it highlighted (kNoPos: none); false when the file
    // is hidden from the rows.
    bool ShowRow(int file, TextPos lineStart, TextPos matchStart, TextPos matchEnd);
    // Puts the row of the file named `path` that starts at `lineStart` at the top (a window put back as it was
    // left; `micros` is that row's time); false when no shown file has that name and a row there (the place is
    // then left as it was).
    // The file is found by `id` (its device and inode) wherever its name went, or by `path` when `id` is
    // unknown (zero). A compressed part's row is put at the top once the part is read (true: it is being
    // read), unless the view is moved before that.
    bool ShowAtTop(const std::string& path, const platform::FileId& id, TextPos lineStart, std::int64_t micros);
    // The place to put the window back at: the top row's file, where that row starts and its time, and whether
    // the window follows the end (a place still waiting for its part to be read, when there is one, which
    // does not); an empty path without rows.
    struct Place {
        std::string path;
        TextPos pos = 0;
        std::int64_t micros = 0;
        platform::FileId id;  // the file's device and inode (zero when unknown)
        bool atEnd = false;
    };
    Place PlaceToKeep() const;
    // The last match: its file (-1: none) and where it starts in that file.
    int MatchFile() const { return m_nMatchFile; }
    TextPos MatchStart() const { return m_pMatchStart; }

    // A file's window reloaded it (grown, cut or replaced).
    void OnSourceChanged(int file);

    // The filter stack on the merged rows: every file's window gets the stack and decides its own shown
    // lines (its format's levels and times, its own context lines); while Show Only Filtered is on, each
    // file's rows are its shown lines.
    void SetFilterStack(const shownset::FilterStack& stack);
    void SetShowOnlyFiltered(bool on);
    // Whether the rows are the files' shown lines now.
    bool IsFiltering() const { return m_bFiltering; }
    // Whether a file's rows come from its own scan ahead (the "Scanning…" notice).
    bool IsScanningAhead() const;
    // The files' scans summed: "N of M lines shown", each rule's count.
    shownset::ShownStatus ShownStatus() const;
    // Waits for every file's scan and places the rows on what they decided.
    void WaitShownSet();
    // A file's scan found more: the rows are placed again (a window at the end stays there).
    void OnShownNews(int file);

private:
    struct File;
    bool ReadyToJoin(File& f) const;
    struct ShownLines;
    void Rebuild();
    // A budget of scanning ahead for each filtering file, shared by this input.
    void BeginInput();
    // Whether a file's scan still runs: the last screenful is not known yet.
    bool ScansRunning() const;
    int Rows() const;
    // Keeps the top within the last screenful; notes whether it is there.
    void Settle();
    // The rows' index of a file among the shown ones, and back.
    int ShownIndex(int file) const;
    // Opens one file's document and window; false when it cannot be shown.
    bool OpenFile(File& f, int index, bool watch, bool countLines);
    // Loads a file's whole text into its window and takes its format and a reader: false when it has none.
    bool TakeText(File& f);
    void CloseFiles();
    // In sequence: starts reading every compressed part that no row of another part keeps from the screen.
    void ReadReachedParts();
    void StartReading(int file);
    // Up to n rows back, opening the older parts a step meets; how many were moved.
    int Back(int n);
    // In sequence: opens every older part that needs no decompression (Go to Time and Find look at them all).
    void OpenPlainParts();
    // In sequence the thumb is scaled over every part, a part not read yet by the text it is guessed to hold:
    // it stands where the top is in the whole log, and dragging it reaches parts not opened yet.
    std::int64_t PartBytes(int file) const;
    // A file's device and inode: of the file its document opened, else of the file its name names now.
    bool IdentityOf(int file, platform::FileId& id) const;
    double SetFractionOf(const merged::Top& top) const;
    merged::Top AtSetFraction(double fraction);

    CFileWnd& m_owner;
    struct NullPort;
    std::unique_ptr<NullPort> m_pPort;
    struct File {
        std::string path;
        std::unique_ptr<CTextFileDoc> doc;
        std::unique_ptr<CMergedSourceWnd> wnd;
        std::unique_ptr<CPreadChunkReader> reader;
        std::shared_ptr<const logformat::CFormatSet> formats;  // keeps the format alive
        const logformat::CFormat* format = nullptr;
        std::unique_ptr<ShownLines> shown;  // while the rows are its shown lines
        TextPos end = 0;                    // the data's end the rows know
        bool hidden = false;
        bool pending = false;    // a part not opened yet, or a compressed one whose text is not whole yet
        std::int64_t guess = 0;  // while pending: the bytes of text it is taken to hold (rotation::TextSizeOf)
    };
    std::vector<File> m_files;
    std::vector<int> m_shown;  // the rows' files: indices of m_files
    std::unique_ptr<merged::CMergedRows> m_pRows;
    merged::Top m_top;
    bool m_bFiltering = false;
    bool m_bAtEnd = false;
    bool m_bSequence = false;
    bool m_bWentHome = false;  // the last move was Home: a part read later comes in above the top, as the new Home
    bool m_bFindAnew = false;  // the set is to be found anew once its new current file has text
    std::vector<Failure> m_lateFailures;
    // A top asked for in a compressed part still being read (file -1: none); any move forgets it.
    struct Wanted {
        int file = -1;
        TextPos pos = 0;
        std::int64_t micros = 0;
    } m_wanted;
    bool m_bWatch = true, m_bCountLines = true;
    std::vector<PaintedRow> m_painted;
    // The last match: its file (-1: none), where it starts and ends in that file.
    int m_nMatchFile = -1;
    TextPos m_pMatchStart = kNoPos, m_pMatchEnd = kNoPos;
};
