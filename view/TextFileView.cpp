#include "view/TextFileView.h"

#include "platform/Win1252.h"
#include "textwnd/FileWnd.h"
#include "view/CommandIds.h"
#include "view/DisplayPreferences.h"
#include "view/StatusIndicators.h"
#include "view/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

using platform::COLORREF;
using platform::kFwBold;
using platform::kFwNormal;
using platform::kLfFaceSize;
using platform::LOGFONTW;

namespace {

bool IsSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

std::u16string FaceOf(const LOGFONTW& font)
{
    std::size_t n = 0;
    while (n < kLfFaceSize && font.lfFaceName[n])
        ++n;
    return std::u16string(font.lfFaceName, n);
}

std::int32_t CaseOfCommand(int id)
{
    switch (id) {
    case cmd::CaseOriginal: return TextCaseOriginal;
    case cmd::CaseUpper: return TextCaseUpper;
    case cmd::CaseLower: return TextCaseLower;
    case cmd::CaseSentence: return TextCaseSentence;
    default: return -1;
    }
}

// The style byte a toggle command flips; null for Bold, which is a weight.
std::uint8_t* StyleByte(LOGFONTW& font, int id)
{
    switch (id) {
    case cmd::FontItalic: return &font.lfItalic;
    case cmd::FontUnderline: return &font.lfUnderline;
    case cmd::FontStrikethrough: return &font.lfStrikeOut;
    default: return nullptr;
    }
}

std::uint8_t* RecordStyleFlag(DisplayPreferences& prefs, int id)
{
    switch (id) {
    case cmd::FontItalic: return &prefs.italic;
    case cmd::FontUnderline: return &prefs.underline;
    case cmd::FontStrikethrough: return &prefs.strikeOut;
    default: return &prefs.bold;
    }
}

}  // namespace

std::int32_t ParseFontSize(const std::u16string& text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::int64_t n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        n = std::min<std::int64_t>(n * 10 + (text[i] - u'0'), INT32_MAX);  // a long run saturates
    return static_cast<std::int32_t>(negative ? -n : n);
}

std::u16string FormatFontSize(std::int32_t size)
{
    const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(size));
    const std::string digits = std::to_string(magnitude);
    return std::u16string(digits.begin(), digits.end());
}

CTextFileView::CTextFileView(CTextFileDoc* doc, IViewHost* host, CFilePrefDatabase* database, IProfile& profile)
    : m_pDocument(doc), m_pHost(host), m_pDatabase(database), m_profile(profile)
{
}

CTextFileView::~CTextFileView()
{
    OnDestroy();
}

bool CTextFileView::OnCreate()
{
    m_pFileWnd = m_pHost->CreateTextWindow();
    if (!m_pFileWnd)
        return false;
    m_pFileWnd->SetListener(this);
    // Lines are counted behind the reader's back from each load on (the gutter, the status bar, Go to Line); the
    // first screenful never waits for them.
    m_pFileWnd->SetCountLines(true);
    m_pFileWnd->SetRegularExpression(m_bRegularExpression);
    // The load waits until the window has been shown and sized: a new file
    // shows its last screenful, and a question the load asks sits over it.
    m_hWnd = platform::RegisterWindow(this);
    m_pFileWnd->SetNotifyWindow(m_hWnd);
    m_pDocument->AddWindow(m_hWnd);
    platform::PostWindowMessage(m_hWnd, platform::WM_DEFERRED_LOAD, 0, 0);
    return true;
}

void CTextFileView::OnDestroy()
{
    if (CStreamSource* source = m_pDocument->GetSource(); source && m_hWnd)
        source->RemoveWindow(m_hWnd);
    if (m_hWnd) {
        m_pDocument->RemoveWindow(m_hWnd);
        platform::UnregisterWindow(m_hWnd);  // a load still in the queue is dropped
        m_hWnd = 0;
    }
    if (m_pFindDialog) {
        m_pFindDialog->DestroyWindow();
        m_pFindDialog = nullptr;
    }
    if (!m_pFileWnd)
        return;
    if (m_bLoaded)
        SaveDefaultPreferences(*m_pFileWnd, m_profile);
    m_pFileWnd->SetListener(nullptr);
    m_pFileWnd = nullptr;
    m_bLoaded = false;
    m_pHost->DestroyTextWindow();
}

namespace {

std::string WithRule(const char* format, const std::string& rule)
{
    const int n = std::snprintf(nullptr, 0, format, rule.c_str());
    std::string text(static_cast<std::size_t>(std::max(n, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, format, rule.c_str());
    return text;
}

}  // namespace

void CTextFileView::OnRuleAlert(const std::string& rule)
{
    if (!m_pHost->IsActiveView())
        m_pHost->MarkWindow(WithRule(text::TabAlertFormat, rule));
}

void CTextFileView::OnFollowStopped(const std::string& rule)
{
    m_pHost->ShowMessage(ViewMessageKind::Warning, WithRule(text::FollowStoppedFormat, rule));
}

std::intptr_t CTextFileView::HandleMessage(unsigned msg, std::uintptr_t, std::intptr_t)
{
    if (msg == platform::WM_DEFERRED_LOAD)
        OnDeferredLoad();
    else if (msg == platform::WM_FILE_REPLACED && m_bLoaded)
        OnFileReplaced();
    else if (msg == platform::WM_SOURCE_PROGRESS)
        OnSourceProgress();
    return 0;
}

void CTextFileView::OnActivateView(bool bActivate)
{
    if (bActivate && m_pFileWnd)
        SyncRibbonControls();
}

DisplayPreferences* CTextFileView::GetPrefs() const
{
    if (m_pOwnPrefs)
        return m_pOwnPrefs.get();
    return m_prefs ? m_prefs.Get() : nullptr;
}

void CTextFileView::OnDeferredLoad()
{
    if (!m_pFileWnd || m_bLoaded)
        return;
    // The file's font and colours from the start, also while a reader is still at work: the ribbon shows what
    // the text will be drawn with, not the window's own defaults.
    const bool first = !GetPrefs();
    if (first) {
        if (m_pDatabase) {
            m_prefs = m_pDatabase->FindOrAddRecord(m_pDocument->GetPathName());
        } else {
            m_pOwnPrefs = std::make_unique<DisplayPreferences>();
            LoadDefaultPreferences(*m_pOwnPrefs, m_profile);
        }
        const DisplayPreferences& prefs = *GetPrefs();
        LOGFONTW font;
        PreferencesToLogFont(font, prefs);
        m_pFileWnd->SetLogFont(font);
        m_pFileWnd->SetTextCase(prefs.textCase);
        m_pFileWnd->SetFontColor(prefs.fontColor);
        m_pFileWnd->SetPageColor(prefs.pageColor);
    }
    if (CStreamSource* source = m_pDocument->GetSource()) {
        source->AddWindow(m_hWnd);
        if (!m_pDocument->IsReadyToShow()) {
            // Closing the window meanwhile closes the document, which cancels the reader.
            m_pHost->ShowMessage(ViewMessageKind::Information,
                                 m_pDocument->IsJournal() ? DescribeJournalProgress(source->GetProgress())
                                 : m_pDocument->IsSsh()
                                     ? DescribeSshProgress(source->GetProgress(), m_pDocument->GetPathName())
                                     : DescribeSourceProgress(source->GetProgress(), source->IsPipe()));
            if (first && m_pHost->IsActiveView())
                SyncRibbonControls();
            return;
        }
        m_pHost->HideMessage();
    }
    const std::int32_t requestedEncoding = GetPrefs()->requestedEncoding;

    PrepareJournalWindow();
    m_nReplacesSeen = m_pDocument->ReplaceCount();
    if (!m_pFileWnd->LoadFile(m_pDocument->GetMappedFile(), requestedEncoding)) {
        m_pHost->DestroyFrame();
        return;
    }
    m_bLoaded = true;
    AttachMarks();
    ApplyKeptFormat();
    OnSourceProgress();  // a reader that ended short says so
    OfferRotationSet();
    // A window loaded behind the active one must not take over the ribbon or the focus.
    if (m_pHost->IsActiveView())
        SyncRibbonControls();
    else
        SaveDefaultPreferences(*m_pFileWnd, m_profile);
    if (m_pendingState) {
        ApplyState(*m_pendingState);
        m_pendingState.reset();
    }
    if (m_onLoaded)
        std::exchange(m_onLoaded, nullptr)();
}

void CTextFileView::SyncColor(int id, COLORREF color)
{
    IRibbonColorElement* picker = m_pHost->FindColorElement(id);
    if (picker && picker->GetColor() != color) {
        picker->SetColor(color);
        m_pHost->InvalidateRibbon();
    }
}

void CTextFileView::SyncRibbonControls()
{
    SyncColor(cmd::FontColor, m_pFileWnd->GetFontColor());

    IRibbonFontElement* fontBox = m_pHost->FindFontElement(cmd::FontName);
    if (fontBox && !fontBox->HasFocus())
        fontBox->ShowFace(FaceOf(m_pFileWnd->GetLogFont()), m_pFileWnd->GetLogFont().lfCharSet);

    if (IRibbonComboElement* sizeBox = m_pHost->FindComboElement(cmd::FontSize)) {
        const std::int32_t size = m_pFileWnd->GetFontPoints();
        if (ParseFontSize(sizeBox->GetText()) != size) {
            const std::u16string shown = FormatFontSize(size);
            sizeBox->SetText(shown);
            int entry = -1;
            for (int i = 0; i < sizeBox->GetCount() && entry < 0; ++i)
                if (sizeBox->GetItem(i) == shown)
                    entry = i;
            const std::int32_t magnitude = ParseFontSize(shown);
            for (int i = 0; i < sizeBox->GetCount() && entry < 0; ++i)
                if (ParseFontSize(sizeBox->GetItem(i)) > magnitude)
                    entry = i;
            // Selecting an entry also shows its text, which differs from the size only when the size is no entry.
            if (entry >= 0) {
                sizeBox->SelectItem(entry);
                sizeBox->SetText(shown);
            }
        }
    }

    SyncColor(cmd::PageColor, m_pFileWnd->GetPageColor());
    SyncRecordFormat();
    m_pHost->FocusTextWindow();
    if (m_bLoaded)
        SaveDefaultPreferences(*m_pFileWnd, m_profile);
}

// --- Commands ------------------------------------------------------------------------------------------------------

bool CTextFileView::OnCommand(int id)
{
    if (!m_pFileWnd)
        return false;
    DisplayPreferences* prefs = GetPrefs();
    switch (id) {
    case cmd::EditCopy: {
        // A selection too large to copy without thinking asks first; without one the screen is copied.
        const std::uint64_t bytes = m_pFileWnd->SelectionBytes();
        if (bytes > CFileWnd::kLargeSelectionBytes) {
            std::string question = text::CopyLargeSelectionFormat;
            question.replace(question.find("%s"), 2, std::to_string((bytes + (1 << 19)) >> 20));
            if (m_pHost->MessageBox(question, platform::kMbYesNo | platform::kMbIconQuestion) != platform::kIdYes)
                return true;
        }
        m_pFileWnd->CopyToClipboard();
        return true;
    }
    case cmd::Refresh: m_pFileWnd->LoadFile(nullptr, EncodingAuto); return true;
    case cmd::FontDialog: OnFontDialog(); return true;
    case cmd::FontName: ApplyFontName(); return true;
    case cmd::FontSize: ApplyFontSize(); return true;
    case cmd::FontGrow:
    case cmd::FontShrink: {
        const int entry = SizeStepTarget(id == cmd::FontGrow ? 1 : -1);
        if (entry >= 0) {
            m_pHost->FindComboElement(cmd::FontSize)->SelectItem(entry);
            ApplyFontSize();
        }
        return true;
    }
    case cmd::FontBold:
    case cmd::FontItalic:
    case cmd::FontUnderline:
    case cmd::FontStrikethrough: ToggleStyle(id); return true;
    case cmd::FontColor:
    case cmd::PageColor:
        if (IRibbonColorElement* picker = m_pHost->FindColorElement(id)) {
            const COLORREF color = picker->GetColor();
            if (id == cmd::FontColor)
                m_pFileWnd->SetFontColor(color);
            else
                m_pFileWnd->SetPageColor(color);
            if (prefs)
                (id == cmd::FontColor ? prefs->fontColor : prefs->pageColor) = color;
        }
        return true;
    case cmd::CaseOriginal:
    case cmd::CaseUpper:
    case cmd::CaseLower:
    case cmd::CaseSentence: SetTextCase(CaseOfCommand(id)); return true;
    case cmd::ChangeCase: return true;  // the ribbon button only opens the menu of the four cases
    case cmd::ReopenFile: OnReopenFile(); return true;
    case cmd::RunCommandAgain: OnRunCommandAgain(); return true;
    case cmd::ShowRotatedParts: ShowRotationSet(); return true;
    case cmd::GoToLine: OnGoToLine(); return true;
    case cmd::GoToTime: OnGoToTime(); return true;
    case cmd::RecordFormat: OnRecordFormat(); return true;
    case cmd::ToggleMark:
    case cmd::NextMark:
    case cmd::PreviousMark: OnMarkCommand(id); return true;
    case cmd::MarkNote: OnMarkNote(); return true;
    case cmd::SaveLines: OnSaveLines(); return true;
    case cmd::ShowOnlyFiltered: OnShowOnlyFiltered(); return true;
    default: return OnFindCommand(id);
    }
}

bool CTextFileView::OnUpdateCommand(CCmdUI& ui)
{
    if (!m_pFileWnd)
        return false;
    const LOGFONTW& font = m_pFileWnd->GetLogFont();
    switch (ui.m_nID) {
    case cmd::EditCopy:
    case cmd::Refresh:
    case cmd::FontDialog:
    case cmd::FontName:
    case cmd::FontSize:
    case cmd::FontColor:
    case cmd::PageColor:
    case cmd::ChangeCase: ui.Enable(); return true;
    case cmd::ReopenFile: ui.Enable(m_bLoaded && m_pDocument->NameNamesAnotherFile()); return true;
    case cmd::RunCommandAgain: ui.Enable(m_bLoaded && m_pDocument->IsCommand()); return true;
    case cmd::ShowRotatedParts: ui.Enable(m_bLoaded && m_nRotatedParts > 0 && !m_pFileWnd->GetMerged()); return true;
    // Next and Previous stay enabled without marks: the key then says that there are none.
    case cmd::RecordFormat:
        // A file that grew may have shown its format since the drop-down was filled.
        if (m_bLoaded && m_pHost->IsActiveView() && m_pFileWnd->HasText() &&
            m_pFileWnd->DetectedFormat() != m_pSyncedDetected)
            SyncRecordFormat();
        [[fallthrough]];
    case cmd::GoToLine:
    case cmd::ToggleMark:
    case cmd::NextMark:
    case cmd::PreviousMark:
    case cmd::MarkNote:
    case cmd::SaveLines: ui.Enable(m_bLoaded && m_pFileWnd->HasText()); return true;
    case cmd::GoToTime:
        // The format is found once per load, from a few lines at either end.
        ui.Enable(m_bLoaded && m_pFileWnd->HasTimeStamps());
        if (!ui.m_bEnabled)
            ui.SetToolTip(text::GoToTimeNoStamps);
        return true;
    case cmd::FontGrow:
    case cmd::FontShrink: ui.Enable(SizeStepTarget(ui.m_nID == cmd::FontGrow ? 1 : -1) >= 0); return true;
    case cmd::FontBold: ui.SetCheck(font.lfWeight > 500 ? 1 : 0); return true;
    case cmd::FontItalic: ui.SetCheck(font.lfItalic ? 1 : 0); return true;
    case cmd::FontUnderline: ui.SetCheck(font.lfUnderline ? 1 : 0); return true;
    case cmd::FontStrikethrough: ui.SetCheck(font.lfStrikeOut ? 1 : 0); return true;
    case cmd::CaseOriginal:
    case cmd::CaseUpper:
    case cmd::CaseLower:
    case cmd::CaseSentence: ui.SetCheck(m_pFileWnd->GetTextCase() == CaseOfCommand(ui.m_nID) ? 1 : 0); return true;
    // The status bar's panes; the bar fits a pane to its text only when the text's length changes.
    case cmd::PaneCurrentChar:
        ui.SetText(StatusPaneText(ui.m_nID, m_pFileWnd));
        ui.SetToolTip(TopLineTooltip(m_pFileWnd));
        return true;
    case cmd::ShowOnlyFiltered:
        ui.Enable(m_bLoaded && m_pFileWnd->HasText());
        ui.SetCheck(m_pFileWnd->IsShowOnlyFiltered() ? 1 : 0);
        return true;
    case cmd::PaneTotalChars:
        // A paint may have started or ended a scan ahead since the last news of the scan.
        SyncScanningNotice();
        ui.SetText(StatusPaneText(ui.m_nID, m_pFileWnd));
        ui.SetToolTip(TotalCharsTooltip(m_pFileWnd));
        return true;
    case cmd::PaneEncoding: ui.SetText(StatusPaneText(ui.m_nID, m_pFileWnd)); return true;
    default: return OnUpdateFindCommand(ui);
    }
}

void CTextFileView::ApplyFontSize()
{
    IRibbonComboElement* sizeBox = m_pHost->FindComboElement(cmd::FontSize);
    if (!sizeBox)
        return;
    const std::int32_t n = ParseFontSize(sizeBox->GetText());
    if (n >= 1 && n <= 100) {
        m_pFileWnd->SetFontPoints(n);
        if (DisplayPreferences* prefs = GetPrefs())
            prefs->pointSize = n;
        return;
    }
    sizeBox->SetText(FormatFontSize(m_pFileWnd->GetFontPoints()));
    m_pHost->MessageBox(text::FontSizeRange, platform::kMbOk);
}

void CTextFileView::ApplyFontName()
{
    IRibbonFontElement* fontBox = m_pHost->FindFontElement(cmd::FontName);
    if (!fontBox)
        return;
    const std::u16string name = fontBox->GetText();
    if (!fontBox->HasFace(name)) {
        fontBox->SetText(FaceOf(m_pFileWnd->GetLogFont()));
        std::string message = text::FontNameNotListed;
        message.replace(message.find("%s"), 2, platform::Utf16ToUtf8(name));
        m_pHost->MessageBox(message, platform::kMbOk | platform::kMbIconWarning);
        return;
    }
    // A name typed and confirmed with Return leaves the selection where it was: choose the entry it names.
    fontBox->ShowFace(name, m_pFileWnd->GetLogFont().lfCharSet);
    std::u16string face;
    std::uint8_t charSet = 0;
    std::uint8_t pitchAndFamily = 0;
    if (!fontBox->GetSelectedFace(face, charSet, pitchAndFamily))
        return;
    m_pFileWnd->SetFontFace(face.c_str(), charSet, pitchAndFamily);
    if (DisplayPreferences* prefs = GetPrefs())
        SetPreferencesFace(*prefs, face.c_str(), charSet, pitchAndFamily);
}

void CTextFileView::OnFontDialog()
{
    LOGFONTW font = m_pFileWnd->GetLogFont();
    COLORREF color = m_pFileWnd->GetFontColor();
    if (!m_pHost->ChooseFont(font, color))
        return;
    m_pHost->LockUpdates(true);
    m_pFileWnd->SetLogFont(font);
    m_pFileWnd->SetFontColor(color);
    if (DisplayPreferences* prefs = GetPrefs()) {
        PreferencesFromLogFont(*prefs, font);
        prefs->fontColor = color;
    }
    m_pFileWnd->RemeasureFont();
    SyncRibbonControls();
    m_pHost->LockUpdates(false);
}

int CTextFileView::SizeStepTarget(int step)
{
    IRibbonComboElement* sizeBox = m_pHost->FindComboElement(cmd::FontSize);
    if (!sizeBox || !m_pFileWnd)
        return -1;
    const std::int32_t size = ParseFontSize(FormatFontSize(m_pFileWnd->GetFontPoints()));
    const int count = sizeBox->GetCount();
    if (step > 0) {
        for (int i = 0; i < count; ++i)
            if (ParseFontSize(sizeBox->GetItem(i)) > size)
                return i;
    } else {
        for (int i = count - 1; i >= 0; --i)
            if (ParseFontSize(sizeBox->GetItem(i)) < size)
                return i;
    }
    return -1;
}

void CTextFileView::ToggleStyle(int id)
{
    LOGFONTW font = m_pFileWnd->GetLogFont();
    std::uint8_t value;
    if (std::uint8_t* style = StyleByte(font, id)) {
        value = *style ? 0 : 1;
        *style = value;
    } else {
        font.lfWeight = font.lfWeight <= 500 ? kFwBold : kFwNormal;
        value = font.lfWeight == kFwBold ? 1 : 0;
    }
    m_pFileWnd->SetLogFont(font);  // measures the font again
    m_pFileWnd->Invalidate();
    if (DisplayPreferences* prefs = GetPrefs())
        *RecordStyleFlag(*prefs, id) = value;
}

void CTextFileView::SetTextCase(std::int32_t textCase)
{
    m_pFileWnd->SetTextCase(textCase);
    if (DisplayPreferences* prefs = GetPrefs())
        prefs->textCase = textCase;
}
