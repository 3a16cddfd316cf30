#!/usr/bin/env bash
# Deliberate faults of the kinds the tests exist for, applied one at a time
# to a scratch copy of the tree: each must make the tests that CI runs for it
# fail. A developer tool (one rebuild per fault), not part of CI.
#
# usage: tools/mutants.sh [NAME-REGEX]    only the faults whose names match
#        tools/mutants.sh --check         only checks that every program still applies
#        KEEP=1 tools/mutants.sh          keeps the scratch copy and its build
#
# Each fault is a sed program anchored on one line of code; a program that no
# longer changes its file is reported as stale, so a fault never silently
# stops being applied. The tests are picked with a CTest regular expression
# over the names CI registers, and run with a time limit (a fault that makes
# a test hang counts as caught).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
[ "${1:-}" = --check ] && { check=1; shift; }
only=${1:-.}
jobs=${JOBS:-2}

names=() files=() programs=() tests=() targets=()
fault() {  # name, file, sed program, ctest regex[, build targets]
  names+=("$1") files+=("$2") programs+=("$3") tests+=("$4")
  targets+=("${5:-ostrel_core_tests file_writer prefdb_adder}")
}

# --- The line model ------------------------------------------------------------------
fault pair-backward-lost textwnd/LineModel.cpp \
  's/if (p - start >= 2 \* unit && IsPairAt(p - 2 \* unit))/if (false)/' '^LineModel\.'
fault pair-forward-from-the-right textwnd/LineModel.cpp \
  's|return (p - unit - s) / unit % 2 == 0;|return (p - unit - s) / unit % 2 == 1;|' '^LineModel\.'
fault pair-of-equal-breaks textwnd/LineModel.cpp \
  's|UnitAt(at) != UnitAt(at + m_nUnit);|true;|' '^LineModel\.'
fault nul-passed-forward textwnd/LineModel.cpp \
  's|FindAny(v, p, stop, 0, m_chCR, m_chLF)|FindAny(v, p, stop, m_chLF, m_chCR, m_chLF)|' '^LineModel\.'
fault odd-byte-read textwnd/LineModel.cpp \
  's|return m_nStart + (size - m_nStart) / m_nUnit \* m_nUnit;|return size;|' '^Encoding\.'
fault tab-columns-from-the-end textwnd/LineModel.cpp \
  's|const std::int64_t spaces = n % 8;|const std::int64_t spaces = 8 - n % 8;|' '^LineModel\.'
fault utf8-wide-half-one-cell-too-many textwnd/Utf8Lines.cpp \
  's|out->append(static_cast<std::size_t>(n + it.cells - first)|out->append(static_cast<std::size_t>(n + it.cells - first + 1)|' \
  '^Utf8Rows\.'
fault utf8-lone-mark-without-its-blank textwnd/Utf8Lines.cpp \
  's|        if (it.blank)|        if (false)|' '^Utf8Rows\.'
fault tab-pairs-mark-after-spaces textwnd/LineModel.cpp \
  's|if (!markFound\[i\] && c.marks\[i\] <= t)|if (!markFound[i] \&\& c.marks[i] < t)|' '^(LineModel|Paint)\.'
fault hole-start-one-byte-low platform/File.cpp \
  's|^    return hi;$|    return lo;|' '^LineModel\.'
fault last-page-one-line-short textwnd/FileWnd.cpp \
  's|for (int k = VisibleLines(); k > 0; --k)|for (int k = VisibleLines() - 1; k > 0; --k)|' '^(LineModel|Scroll)\.'
fault reload-forgets-the-end textwnd/FileWnd.cpp \
  's|^        const bool atEnd = FollowsEnd();$|        const bool atEnd = false;|' '^(LineModel|Scroll)\.'
fault nul-hides-the-tail textwnd/FileWnd.cpp \
  's|m_pLastPageTop = m_lines.AfterLastNul(p);|m_pLastPageTop = p;|' '^(LineModel|Search[A-Za-z]*)\.'
fault long-walk-kept-on-truncation textwnd/LineModel.cpp \
  's#if (size < m_nKnownSize || file != m_hKnownFile) {#if (file != m_hKnownFile) {#' '^LineModel\.'
fault utf32-mark-unseen textwnd/FileWnd.cpp \
  's|else if (starts({0xFF, 0xFE, 0x00, 0x00}))|else if (false)|' '^Encoding\.'

# --- Scrolling, painting, letter case ------------------------------------------------------
fault thumb-unclamped textwnd/FileWndScroll.cpp \
  '/track = std::clamp<std::int64_t>(track, 0, LastPageTop() - DataStart());/d' '^Scroll\.'
fault horizontal-offset-unlimited textwnd/FileWndScroll.cpp \
  '/target = std::min(target, m_nLongestLine - m_nColumns);/d' '^(Scroll|Paint)\.'
fault reload-keeps-an-offset-past-the-lines textwnd/FileWnd.cpp \
  '/^        KeepHorzOffsetInRange();$/d' '^Scroll\.'
fault sentence-ends-at-bang textwnd/FileWndPaint.cpp \
  "s#if (s\[i\] == Ch('.')) {#if (s[i] == Ch('.') || s[i] == Ch('!')) {#" '^Paint\.'
fault win1252-letter-by-byte engine/UnicodeCase.cpp \
  's|IsLetter16(platform::Win1252ToUnicode(static_cast<std::uint8_t>(b)))|IsLetter16(static_cast<char16_t>(b))|' \
  '^Paint\.'
fault lower-case-from-upper-table engine/UnicodeCase.cpp \
  's|ch + kLowerStage2\[kLowerStage1\[ch >> 8\]\]|ch + kUpperStage2[kUpperStage1[ch >> 8]]|' '^(Paint|Search[A-Za-z]*)\.'
fault qt-bar-end-not-exact textwnd/qt/FileWndWidget.cpp \
  's|if (value >= VBarValueOf(reach))|if (false)|' '^FileWndWidgetTest$' FileWndWidgetTest
fault gutter-width-ignores-digits textwnd/qt/FileWndWidget.cpp \
  's|return (static_cast<int>(std::to_string(largest).size()) + 1) \* cellWidth;|return 2 * cellWidth;|' \
  '^FileWndWidgetTest$' FileWndWidgetTest
fault go-to-dialog-closes-on-a-refusal app/bars/GoToDialog.cpp \
  's|    if (why.empty()) {|    if (true) {|' '^ShellTest$' 'ShellTest ostrel-viewer'
# --- The filter pane --------------------------------------------------------------------------
fault filter-pane-grows-not textwnd/qt/FilterPane.cpp \
  's|    else if (end > m_knownEnd)|    else if (false)|' '^FindOpenTest$' FindOpenTest
fault filter-pane-without-rules textwnd/qt/FilterPane.cpp \
  's|^        rules \&\& rules->Any() \&\& wnd.LineRuleColumns|        false \&\& wnd.LineRuleColumns|' '^FindOpenTest$' FindOpenTest

# --- Search --------------------------------------------------------------------------------
fault chunk-cuts-a-match engine/SearchKernels.cpp \
  's|k.forward(needle, d, n + m - 1, n, &stopped)|k.forward(needle, d, n, n, \&stopped)|' '^SearchKernels\.'
fault backward-pass-skips-a-nul engine/SearchKernels.cpp \
  's|^            !stopped)$|            true)|' '^(Search[A-Za-z]*|RegexSearch)\.'
fault block-settled-from-below engine/SearchKernelsImpl.h \
  's|const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(cand));|const unsigned bit = static_cast<unsigned>(__builtin_ctz(cand));|' \
  '^SearchKernels\.'
fault case-ring-cut-short engine/SearchKernels.cpp \
  's|y != c && count < 4; y = rings\[y\]|y != c \&\& count < 3; y = rings[y]|' '^SearchKernels\.'
fault find-next-overlaps textwnd/FileWndSearch.cpp \
  's|m_pLastMatch + length \* CodeUnitSize();|m_pLastMatch + CodeUnitSize();|' '^SearchWindow\.'
fault highlight-in-bytes textwnd/FileWndSearch.cpp \
  's|p == kNoPos ? kNoPos : p + length \* CodeUnitSize();|p == kNoPos ? kNoPos : p + length;|' '^(SearchWindow|Paint)\.'
fault match-not-centred textwnd/FileWndSearch.cpp \
  's|std::max<std::int64_t>(k + n / 2 - m_nColumns / 2, 0)|std::max<std::int64_t>(k - m_nColumns / 2, 0)|' \
  '^SearchShowMatch\.'

# --- The engine's readers: the scan reader, block scans on the pool, the filter, the line index ---
fault scan-reader-cancel-unseen engine/ScanReader.cpp \
  's#if (n == 0 || offset < 0 || Cancelled())#if (n == 0 || offset < 0)#; s#^        if (Cancelled())$#        if (false)#' \
  '^TextFileViewTest\.EscStops'
fault block-overlap-lost engine/SearchKernels.cpp \
  's|const std::int64_t b = std::min(to, a + size + (m - 1) \* u);|const std::int64_t b = std::min(to, a + size);|' \
  '^SearchKernels\.'
fault block-nul-unseen engine/SearchKernels.cpp \
  's#return found\[i\] >= 0 || nul;#return found[i] >= 0;#' '^(SearchKernels|RegexSearch)\.'
fault regex-block-starts-inside-a-line engine/RegexSearch.cpp \
  's|if (afterBreak \&\& !brk \&\& pos + i >= at)|if (pos + i >= at)|' '^RegexSearch\.'
fault regex-block-nul-unseen engine/RegexSearch.cpp \
  's#return found\[i\].pos >= 0 || nul;#return found[i].pos >= 0;#' '^RegexSearch\.'
fault pool-kept-core-ignored engine/WorkPool.cpp \
  's|const unsigned kept = std::min(m_nKept, m_nThreads - 1);|const unsigned kept = 0;|' '^WorkPool\.'
fault pool-kept-core-never-given-back engine/WorkPool.cpp \
  's|^        --m_pool.m_nKept;$|        m_pool.m_nKept += 0;|' '^WorkPool\.'
fault filter-pieces-cut-inside-lines engine/LineFilter.cpp \
  's|units.LastCut(cut / m_unit \* k / parts \* m_unit)|cut / m_unit * k / parts * m_unit|' '^LineFilter\.'
fault filter-reads-on-past-the-cut engine/LineFilter.cpp \
  's|^        pos += static_cast<std::int64_t>(cut);$|        pos += static_cast<std::int64_t>(n);|' '^LineFilter\.'
fault index-worker-counts-the-chunk-start engine/LineIndex.cpp \
  's|counter.Feed(buffer + off, static_cast<std::uint64_t>(piece));|counter.Feed(buffer, static_cast<std::uint64_t>(piece));|' \
  '^LineIndex\.'
fault index-caller-reads-the-text-start engine/LineIndex.cpp \
  's|m_pUiScan->Read(from, static_cast<std::size_t>(n))|m_pUiScan->Read(0, static_cast<std::size_t>(n))|' '^LineIndex\.'
fault regex-leading-literal-keeps-a-quantified-letter engine/LineMatcher.cpp \
  's|^        --n;$|        (void)n;|' '^LineFilter\.'
fault regex-leading-literal-tried-once-a-line engine/LineMatcher.cpp \
  's|^                at = hit + 1;$|                at = le + 1;|' '^LineFilter\.'
fault iso-shape-takes-a-60th-minute engine/StampParts.cpp \
  's|two(14) <= 59 \&\&$|true \&\&|' '^TimeSeek\.'
fault iso-shape-month-unchecked engine/StampParts.cpp \
  's|if (mo < 1 \|\| mo > 12 \|\| d < 1 \|\| d > 31 \|\| two(11) > 23)|if (mo < 0 \|\| d < 1 \|\| d > 31 \|\| two(11) > 23)|' \
  '^TimeSeek\.'
fault detection-leaves-a-format-that-could-tie engine/LogFormat.cpp \
  's|most < bar \|\| 2 \* most < sampled|most <= bar \|\| 2 * most < sampled|' '^LogFormat\.'
fault summaries-count-continuation-lines engine/RecordSummaries.cpp \
  's|        } else if (!m_bSeen) {|        } else {|' '^RecordSummariesTest\.'
fault summaries-kept-past-the-cut engine/RecordSummaries.cpp \
  's|while (f > 0 \&\& front > cut) {|while (false) {|' '^RecordSummariesTest\.'
fault summaries-pieces-keep-untimed-lines engine/RecordSummaries.cpp \
  's|        if (k > 0 \&\& seenBefore)|        if (false)|' '^RecordSummariesTest\.'
fault summaries-shared-block-loses-records engine/RecordSummaries.cpp \
  's|earlier.records.insert(earlier.records.end(), later.records.begin(), later.records.end());|(void)later;|' '^RecordSummariesTest\.'

# --- Copy ------------------------------------------------------------------------------------
fault copy-byte-order textwnd/LineModel.cpp \
  '/void CLineModel::ToHostOrder/,/^}/ s|if (m_bSwap)|if (m_bWide)|' '^Clipboard\.'
fault copy-one-line-short textwnd/FileWndCopy.cpp \
  's|for (int i = 0; i <= lines && p < DataEnd(); ++i)|for (int i = 0; i < lines \&\& p < DataEnd(); ++i)|' \
  '^Clipboard\.'

# --- Following files --------------------------------------------------------------------------
fault watcher-misses-shrinking file/FileWatcher.cpp \
  's|if (size >= 0 && size != m_dwLastSize)|if (size > m_dwLastSize)|' '^(FileWatcherTest|FollowTest|TruncationTest)\.'
fault watcher-misses-stale-mapping file/FileWatcher.cpp \
  's|if (stale != m_nStaleSeen)|if (false)|' '^(FileWatcherTest|TruncationTest)\.'
fault watcher-listens-to-the-old-file file/FileWatcher.cpp \
  '/m_reportedId = open;/{n;s|ListenForStaleMappings();|(void)0;|}' '^FileWatcherTest\.'
fault watcher-opens-the-path-again textwnd/FileWnd.cpp \
  's|m_pWatcher->AddWindow(m_pMappedFile->Path(), m_hWnd, m_pMappedFile->Handle(),|m_pWatcher->AddWindow(m_pMappedFile->Path(), m_hWnd, platform::kInvalidFile,|' \
  '^FollowTest\.'
fault guard-patches-one-page platform/SigbusGuard.cpp \
  's|RawMapZeros(base + from, mappedEnd - from,|RawMapZeros(base + faultPage, page,|' '^(SigbusGuard|TruncationTest)\.'

# --- The preference database -------------------------------------------------------------------
fault record-at-unaligned-slot view/FilePrefDatabase.cpp \
  's|const std::uint64_t slot = m_nRecords \* RECORD_SIZE;|const std::uint64_t slot = static_cast<std::uint64_t>(size);|' \
  '^FilePrefDatabase[A-Za-z]*\.'
fault path-prefix-matches view/FilePrefDatabase.cpp \
  '/if (field\[n\] != 0)/{N;d}' '^FilePrefDatabase[A-Za-z]*\.'
fault stale-database-view-kept view/FilePrefDatabase.cpp \
  's| \|\| platform::IsMappingStale(file.m_pView)||' '^FilePrefDatabase[A-Za-z]*\.'
fault held-lock-not-waited-for view/FilePrefDatabase.cpp \
  's|if (r == platform::LockResult::Unsupported)|if (r != platform::LockResult::Locked)|' '^FilePrefDatabase[A-Za-z]*\.'
fault held-lock-waited-for-again view/FilePrefDatabase.cpp \
  's|const bool resting = now < m_lockRestEnd;|const bool resting = false;|' '^FilePrefDatabase[A-Za-z]*\.'
fault settings-path-not-looked-at view/qt/QtProfile.cpp \
  's|if (platform::KindOfPath(QFile::encodeName(iniPath).toStdString()) != platform::PathKind::Other) {|if (true) {|' \
  '^ProfileQtTest$' 'ProfileQtTest ostrel-viewer'

# --- The view: commands, their update rules and the file's record -------------------------------
fault bold-check-inverted view/TextFileView.cpp \
  's#ui.SetCheck(font.lfWeight > 500 ? 1 : 0)#ui.SetCheck(font.lfWeight > 500 ? 0 : 1)#' '^TextFileViewTest\.'
fault grow-enabled-inverted view/TextFileView.cpp \
  's#ui.Enable(SizeStepTarget(ui.m_nID == cmd::FontGrow ? 1 : -1) >= 0)#ui.Enable(SizeStepTarget(ui.m_nID == cmd::FontGrow ? 1 : -1) < 0)#' \
  '^TextFileViewTest\.'
fault find-next-needs-a-find view/TextFileViewFind.cpp \
  's#ui.Enable(m_bSearched || (box \&\& !box->GetText().empty()));#ui.Enable(m_bSearched);#' '^TextFileViewTest\.'
fault text-case-not-recorded view/TextFileView.cpp \
  's#prefs->textCase = textCase;#(void)prefs;#' '^TextFileViewTest\.'
fault regex-mode-not-given-to-the-window view/TextFileViewFind.cpp \
  '/^        m_pFileWnd->SetRegularExpression(on);$/d' '^FindOpenTest$' FindOpenTest
fault pattern-error-outlives-a-valid-search view/TextFileViewFind.cpp \
  '/^        m_pHost->HideMessage();$/d' '^FindOpenTest$' FindOpenTest
fault page-colour-recorded-as-font-colour view/TextFileView.cpp \
  's#(id == cmd::FontColor ? prefs->fontColor : prefs->pageColor) = color;#prefs->fontColor = color;#' \
  '^TextFileViewTest\.'
fault typed-size-not-recorded view/TextFileView.cpp \
  's#            prefs->pointSize = n;#            (void)prefs;#' '^TextFileViewTest\.'
fault underline-recorded-as-strikeout view/TextFileView.cpp \
  's#case cmd::FontUnderline: return \&prefs.underline;#case cmd::FontUnderline: return \&prefs.strikeOut;#' \
  '^TextFileViewTest\.'
fault lower-case-command-is-sentence view/TextFileView.cpp \
  's#case cmd::CaseLower: return TextCaseLower;#case cmd::CaseLower: return TextCaseSentence;#' '^TextFileViewTest\.'
fault recorded-encoding-ignored view/TextFileView.cpp \
  's#LoadFile(m_pDocument->GetMappedFile(), requestedEncoding)#LoadFile(m_pDocument->GetMappedFile(), EncodingAuto)#' \
  '^TextFileViewTest\.'
fault defaults-saved-before-the-load view/TextFileView.cpp \
  '/void CTextFileView::OnDestroy/,/^}/ s#if (m_bLoaded)#if (true)#' '^TextFileViewTest\.'
fault background-load-takes-the-ribbon view/TextFileView.cpp \
  's#if (m_pHost->IsActiveView())#if (true)#' '^TextFileViewTest\.'
fault find-history-keeps-duplicates view/TextFileViewFind.cpp \
  '/box.DeleteItem(i);/d' '^TextFileViewTest\.'
fault match-case-not-inverted view/TextFileViewFind.cpp \
  's#(m_pFileWnd->\*find)(!m_bMatchCase, text);#(m_pFileWnd->*find)(m_bMatchCase, text);#' '^TextFileViewTest\.'
fault find-dialog-text-not-cut view/TextFileViewFind.cpp \
  's#if (text.size() > FIND_TEXT_MAX) {#if (false) {#' '^TextFileViewTest\.'

fault session-forgets-the-rotated-parts app/shell/TextFileViewerApp.cpp \
  's|                view->RequestRotationSet();  // the parts as they are now, found anew|                ;|' \
  '^SessionSetsTest$' SessionSetsTest
fault rotation-set-hides-any-notice view/TextFileViewRotation.cpp \
  's|    if (std::exchange(m_bRotationOffered, false))|    if (true)|' '^SessionSetsTest$' SessionSetsTest
fault merge-opened-at-home-loses-it textwnd/FileWndMerged.cpp \
  's|^    m_bWentHome = true;$|    m_bWentHome = false;|' '^RotationViewTest\.'
fault merge-shrunk-at-its-end-leaves-it textwnd/FileWndMerged.cpp \
  '/gets shorter/,/Settle/s|^    if (m_bAtEnd)$|    if (false)|' '^RotationViewTest\.'
fault set-thumb-over-opened-parts-only textwnd/FileWndMerged.cpp \
  's|            f.guess = rotation::TextSizeOf(f.path);|            f.guess = 0;|' '^RotationViewTest\.'
fault gzip-part-sized-by-its-bytes file/RotationSet.cpp \
  's|        text = std::max(text, isize);|        ;|' '^RotationSet\.'
fault place-in-a-compressed-part-given-up textwnd/FileWndMerged.cpp \
  's|        m_wanted = {i, lineStart, micros};|        return false;|' '^RotationViewTest\.'
fault place-waiting-for-a-part-kept-after-a-move textwnd/FileWndMerged.cpp \
  's|^    m_wanted = {};  // moved: the place waiting for a part is not wanted any more$|    ;|' '^RotationViewTest\.'
fault session-top-file-by-its-name-only textwnd/FileWndMerged.cpp \
  's|        if (known ? IdentityOf(i, there) \&\& there == id : PathOf(i) == path)|        if (PathOf(i) == path)|' \
  '^(RotationViewTest\.|SessionSetsTest$)' 'ostrel_core_tests file_writer prefdb_adder SessionSetsTest'
fault session-set-at-its-end-when-its-log-grew view/TextFileViewSession.cpp \
  's|        if (state.following \|\| !merged->ShowAtTop|        if (changed \|\| state.following \|\| !merged->ShowAtTop|' \
  '^SessionSetsTest$' SessionSetsTest
fault session-merge-top-not-put-back textwnd/FileWndMerged.cpp \
  's|    m_top = m_pRows->Place(micros, shown, f.wnd->LineStartOf(lineStart));|    return false;|' '^SessionSetsTest$' SessionSetsTest
fault session-merge-parts-not-kept view/StateStore.cpp \
  's|                m_session\[k\].merged.push_back(ColumnBytes(parts, 1));|                ;|' '^SessionSetsTest$' SessionSetsTest
fault session-rows-of-another-window-taken view/StateStore.cpp \
  's#            if (k == m_session.size() || m_session\[k\].path != ColumnBytes(sets, 1))#            if (k == m_session.size())#' \
  '^Store\.'
# --- The view's plain pieces: recent files, panes, tables, defaults --------------------------------
fault recent-file-appended-last view/RecentFileList.cpp \
  's#m_entries.insert(m_entries.begin(), path);#m_entries.push_back(path);#' '^RecentFileList\.'
fault recent-file-kept-twice view/RecentFileList.cpp \
  '/std::erase(m_entries, path);/d' '^RecentFileList\.'
fault current-char-one-high view/StatusIndicators.cpp \
  's#(top - wnd->DataStart()) / static_cast<std::int64_t>(unit));#(top - wnd->DataStart()) / static_cast<std::int64_t>(unit) + 1);#' \
  '^StatusIndicators\.'
fault pane-relaid-out-at-every-text view/StatusIndicators.cpp \
  's#if (length == m_nLengths\[slot\])#if (false)#' '^StatusIndicators\.'
fault style-menu-black-is-silver view/StringTable.cpp \
  's#{cmd::AppLookOffice2007Black, "Office 2007 (B&lack Style)"}#{cmd::AppLookOffice2007Silver, "Office 2007 (B\&lack Style)"}#' \
  '^StringTableTest\.'
fault stored-font-of-any-size view/DisplayPreferences.cpp \
  's#bytes.size() == sizeof(LOGFONTW)#bytes.size() >= sizeof(LOGFONTW)#' '^DisplayPreferencesTest\.'
fault bold-from-weight-500 view/DisplayPreferences.cpp \
  's#prefs.bold = font.lfWeight > 500 ? 1 : 0;#prefs.bold = font.lfWeight >= 500 ? 1 : 0;#' '^DisplayPreferencesTest\.'
fault build-month-counted-from-zero view/BuildDate.cpp \
  's#parsed.tm_mon + 1, parsed.tm_mday#parsed.tm_mon, parsed.tm_mday#' '^BuildDate\.'

fault line-count-lanes-overflow engine/LineIndex.cpp \
  's/for (int k = 0; k < 127 \&\& i + 65 <= n; ++k, i += 64) {/for (int k = 0; k < 128 \&\& i + 65 <= n; ++k, i += 64) {/' '^LineIndex\.'
fault line-count-lone-cr-taken-for-a-pair engine/LineIndex.cpp \
  's/    bool pairsOnly = _mm256_testz_si256(odd, odd);/    bool pairsOnly = true;/' '^LineIndex\.'
fault line-count-lf-cr-pair-across-pieces engine/LineIndex.cpp \
  's/        !(m_s.pending == m_u.lf \&\& last(0) == m_u.cr)) {/        true) {/' '^LineIndex\.'

fault line-count-half-not-shifted engine/LineIndex.cpp \
  's/                st.breaks += before;/                (void)before;/' '^LineIndex\.'
fault line-count-half-cut-in-a-pair engine/LineIndex.cpp \
  's/            return at + i;/            return at;/' '^LineIndex\.'

# --- The filter stack's decision --------------------------------------------------------
fault stack-include-any-needs-all engine/FilterStack.cpp \
  's/: m_include == 0 || (m_recHits \& m_include);/: m_include == 0 || (m_recHits \& m_include) == m_include;/' '^ShownSet\.'
fault stack-exclude-ignored engine/FilterStack.cpp \
  's/const bool shown = m_recPasses \&\& included \&\& !(m_recHits \& m_exclude);/const bool shown = m_recPasses \&\& included;/' '^ShownSet\.'
fault stack-level-inclusive-lost engine/FilterStack.cpp \
  's/static_cast<int>(level) > static_cast<int>(lowest))/static_cast<int>(level) >= static_cast<int>(lowest))/' '^ShownSet\.'
fault stack-time-to-ignored engine/FilterStack.cpp \
  's/|| (hasTo \&\& micros > toMicros)))/))/' '^ShownSet\.'
fault stack-context-after-one-short engine/FilterStack.cpp \
  's/m_afterLeft = m_context;/m_afterLeft = m_context - 1;/' '^ShownSet\.'
fault stack-context-before-lost engine/FilterStack.cpp \
  's/int k = std::min(m_context, m_before.n);/int k = 0;/' '^ShownSet\.'
fault stack-quick-close-owes-context engine/FilterStack.cpp \
  's/m_open \&\& m_recLines == 1 \&\& m_afterLeft == 0 \&\&/m_open \&\& m_recLines == 1 \&\&/' '^ShownSet\.'
fault shown-record-start-not-sought-back engine/ShownSet.cpp \
  's/if (included \&\& !line.startsRecord)/if (false)/' '^ShownSet\.'
fault shown-last-record-not-read engine/ShownSet.cpp \
  's|    // The last record, which the lines after these may continue.|    if (false)|' '^ShownSet\.'

# ------------------------------------------------------------------------------------------------

selected=()
for i in "${!names[@]}"; do
  [[ ${names[$i]} =~ $only ]] && selected+=("$i")
done
[ ${#selected[@]} -gt 0 ] || { echo "no fault matches '$only'"; exit 2; }

if [ $check = 1 ]; then
  stale=0
  for i in "${selected[@]}"; do
    if sed -e "${programs[$i]}" "$root/${files[$i]}" | cmp -s - "$root/${files[$i]}"; then
      echo "${names[$i]}: stale (changes nothing in ${files[$i]})"; stale=$((stale + 1))
    fi
  done
  echo "faults: ${#selected[@]}, stale: $stale"
  [ $stale -eq 0 ]
  exit
fi

scratch=$(mktemp -d /tmp/ostrel-mutants-XXXXXX)
cleanup() { [ "${KEEP:-0}" = 1 ] && echo "scratch copy kept in $scratch" || rm -rf "$scratch"; }
trap cleanup EXIT
(cd "$root" && git ls-files -z | tar -c --null --ignore-failed-read -T - 2>/dev/null) | tar -x -C "$scratch"
build=$scratch/build
log=$scratch/log
echo "scratch copy in $scratch; configuring"
cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_WERROR=OFF -DOSTREL_BENCH=OFF \
  >"$log" 2>&1 || { cat "$log"; exit 2; }

all_targets=$(for i in "${selected[@]}"; do echo "${targets[$i]}"; done | tr ' ' '\n' | sort -u | tr '\n' ' ')
echo "building $all_targets"
cmake --build "$build" -j "$jobs" --target $all_targets >"$log" 2>&1 || { tail -40 "$log"; exit 2; }

# Without a fault every selected test must pass, and every regex must pick some.
for i in "${selected[@]}"; do
  if ctest --test-dir "$build" -N -R "${tests[$i]}" | grep -q "Total Tests: 0"; then
    echo "${names[$i]}: no test matches ${tests[$i]}"; exit 2
  fi
done
union=$(for i in "${selected[@]}"; do echo "${tests[$i]}"; done | sort -u | paste -sd '|')
echo "running the unchanged tests once"
ctest --test-dir "$build" -j "$jobs" -R "$union" --timeout 300 >"$log" 2>&1 || {
  grep -E "\(Failed|\(Timeout|\*\*\*" "$log"; echo "the tests fail without any fault"; exit 2; }

caught=0 missed=0 broken=0
for i in "${selected[@]}"; do
  name=${names[$i]} file=$scratch/${files[$i]}
  cp "$file" "$scratch/original"
  sed -i -e "${programs[$i]}" "$file"
  if cmp -s "$file" "$scratch/original"; then
    result="STALE (the program changes nothing)"; broken=$((broken + 1))
  elif ! cmake --build "$build" -j "$jobs" --target ${targets[$i]} >"$log" 2>&1; then
    result="DOES NOT BUILD"; broken=$((broken + 1))
  elif ctest --test-dir "$build" -j "$jobs" -R "${tests[$i]}" --timeout 120 >"$log" 2>&1; then
    result="MISSED"; missed=$((missed + 1))
  else
    failed=$(grep -E "^[[:space:]]*[0-9]+ - " "$log" | sed -E 's/^[[:space:]]*[0-9]+ - ([^ ]+).*/\1/' | paste -sd ' ')
    result="caught by $failed"; caught=$((caught + 1))
  fi
  cp "$scratch/original" "$file"  # a fresh time stamp: the next build compiles it again
  printf '%-30s %-30s %s\n' "$name" "${files[$i]}" "$result"
done

echo "faults: ${#selected[@]}, caught: $caught, missed: $missed, stale or not building: $broken"
[ $missed -eq 0 ] && [ $broken -eq 0 ]
