// A view host double for the core tests: plain ribbon elements, a headless
// text window, and records of what the view asked of its host.
#pragma once

#include "tests/core/TestUtil.h"
#include "textwnd/FileWnd.h"
#include "tools/headless/HeadlessWindow.h"
#include "view/CommandIds.h"
#include "view/Profile.h"
#include "view/TextFileView.h"
#include "view/ViewHost.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace viewtest {

using platform::COLORREF;
using platform::LOGFONTW;
using platform::Rgb;

inline const char16_t* const kSizes[] = {u"4",  u"5",  u"6",  u"7",  u"8",  u"9",  u"10", u"11", u"12", u"14",
                                         u"16", u"18", u"20", u"22", u"24", u"26", u"28", u"36", u"48", u"72"};

// One box stands for the size box and the font name box alike.
class FakeBox : public IRibbonFontElement {
public:
    std::u16string GetText() override { return text; }
    void SetText(const std::u16string& t) override { text = t; }
    int GetCount() override { return static_cast<int>(items.size()); }
    int GetCurSel() override { return sel; }
    std::u16string GetItem(int i) override { return items.at(static_cast<std::size_t>(i)); }
    void SelectItem(int i) override
    {
        sel = i;
        text = i >= 0 ? GetItem(i) : text;
    }
    void DeleteItem(int i) override { items.erase(items.begin() + i); }
    int InsertItem(int i, const std::u16string& t) override { return *items.insert(items.begin() + i, t), i; }
    void SetElementText(const std::u16string& t) override { caption = t; }
    bool HasFocus() override { return false; }
    void FocusAndSelectAll() override { ++focusSelects; }
    bool HasFace(const std::u16string& name) override { return Find(name) >= 0; }
    bool GetSelectedFace(std::u16string& name, std::uint8_t& charSet, std::uint8_t& pitch) override
    {
        if (sel >= 0)
            name = GetItem(sel), charSet = 0, pitch = 0x31;
        return sel >= 0;
    }
    void ShowFace(const std::u16string& name, std::uint8_t) override
    {
        sel = Find(name);
        text = name;
    }
    int Find(const std::u16string& name)
    {
        auto fold = [](std::u16string t) {
            for (char16_t& c : t)
                c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
            return t;
        };
        for (int i = 0; i < GetCount(); ++i)
            if (fold(GetItem(i)) == fold(name))
                return i;
        return -1;
    }

    std::u16string text;
    std::vector<std::u16string> items;
    int sel = -1;
    std::u16string caption;
    int focusSelects = 0;
};

class FakeFindDialog : public IFindDialog {
public:
    void SetFindText(const std::u16string& t) override { text = t; }
    void SetMatchCase(bool m) override { matchCase = m; }
    void BringToFront() override { ++fronts; }
    void DestroyWindow() override { destroyed = true; }
    std::u16string text;
    bool matchCase = false;
    int fronts = 0;
    bool destroyed = false;
};

class FakeColor : public IRibbonColorElement {
public:
    COLORREF GetColor() override { return color; }
    void SetColor(COLORREF c) override { color = c; }
    COLORREF color = Rgb(255, 0, 0);
};

class FakeHost : public IViewHost {
public:
    FakeHost()
    {
        sizeBox.items.assign(std::begin(kSizes), std::end(kSizes));
        sizeBox.SelectItem(3);  // "7", as the ribbon starts
        fontBox.items = {u"Courier New", u"DejaVu Sans Mono", u"Liberation Mono"};
    }
    IRibbonColorElement* FindColorElement(int id) override
    {
        return !ribbon ? nullptr : id == cmd::FontColor ? &fontColor : id == cmd::PageColor ? &pageColor : nullptr;
    }
    IRibbonComboElement* FindComboElement(int id) override
    {
        return !ribbon ? nullptr : id == cmd::FontSize ? &sizeBox : id == cmd::FindText ? &findBox : nullptr;
    }
    IRibbonFontElement* FindFontElement(int id) override { return ribbon && id == cmd::FontName ? &fontBox : nullptr; }
    void InvalidateRibbon() override {}
    int MessageBox(const std::string& text, unsigned type) override
    {
        messages.emplace_back(text, type);
        return platform::kIdOk;
    }
    bool ChooseFont(LOGFONTW& font, COLORREF& color) override
    {
        if (fontAnswer)
            std::tie(font, color) = *fontAnswer;
        return fontAnswer.has_value();
    }
    IFindDialog* CreateFindDialog(const std::u16string& text, bool matchCase) override
    {
        dialogs.push_back(std::make_unique<FakeFindDialog>());
        dialogs.back()->text = text;
        dialogs.back()->matchCase = matchCase;
        return dialogs.back().get();
    }
    void BeginBusy() override { ++busy; }
    void EndBusy() override { --busy, ++busySearches; }
    // Esc "pressed" at the poll numbered stopAtPoll (from 1; 0: never).
    bool BusyStopAsked() override { return ++busyPolls == stopAtPoll; }
    bool IsActiveView() override { return active; }
    CFileWnd* CreateTextWindow() override
    {
        wnd = std::make_unique<CFileWnd>(&port);
        wnd->SetWatchFile(watch);
        return wnd.get();
    }
    void DestroyTextWindow() override { wnd.reset(); }
    void DestroyFrame() override { frameDestroyed = true; }
    void FocusTextWindow() override { ++focusCalls; }
    void UpdateTextWindow() override { ++paintsNow; }
    void LockUpdates(bool lock) override { locks.push_back(lock); }
    void ShowMessage(ViewMessageKind kind, const std::string& text, const std::string& action, int command) override
    {
        strip.push_back(action.empty() ? text : text + " [" + action + ":" + std::to_string(command) + "]");
        stripKinds.push_back(kind);
    }
    void MarkWindow(const std::string& text) override { marks.push_back(text); }
    // How many times the strip said `text`.
    std::size_t Said(const std::string& text) const { return std::count(strip.begin(), strip.end(), text); }
    // The window's rows as drawn, without their trailing blanks and blank rows.
    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        port.Paint(*wnd, true);
        for (int r = 0; r < port.Rows(); ++r) {
            rows.push_back(testutil::Utf8(port.RowText(r, false)));
            rows.back().erase(rows.back().find_last_not_of(' ') + 1);
        }
        while (!rows.empty() && rows.back().empty())
            rows.pop_back();
        return rows;
    }

    headless::HeadlessPort port{24, 80};
    std::unique_ptr<CFileWnd> wnd;
    FakeColor fontColor, pageColor;
    FakeBox sizeBox, fontBox, findBox;
    std::vector<std::unique_ptr<FakeFindDialog>> dialogs;
    int busy = 0, busySearches = 0, paintsNow = 0, busyPolls = 0, stopAtPoll = 0;
    bool ribbon = true;
    bool active = true;
    std::vector<std::pair<std::string, unsigned>> messages;
    std::optional<std::pair<LOGFONTW, COLORREF>> fontAnswer;
    bool frameDestroyed = false;
    bool watch = false;              // whether the text window follows its file
    std::vector<std::string> strip;  // the message strip's texts, with "[action:command]"
    std::vector<ViewMessageKind> stripKinds;
    std::vector<std::string> marks;  // the tab marks an alert asked for
    int focusCalls = 0;
    std::vector<bool> locks;
};

// A view on `doc` with a host and a profile of its own, its window rows x cols.
struct HostedView {
    FakeHost host;
    CMemoryProfile profile;
    std::unique_ptr<CTextFileView> view;
    HostedView(CTextFileDoc& doc, int rows, int cols, bool watch = true)
    {
        host.port.Resize(rows, cols);
        host.watch = watch;
        view = std::make_unique<CTextFileView>(&doc, &host, nullptr, profile);
        EXPECT_TRUE(view->OnCreate());
    }
};

// The text a document's mapping holds now.
inline std::string TextOf(const CTextFileDoc& doc)
{
    const CMemoryMappedFile* file = doc.GetMappedFile();
    return file && file->View() ? std::string(reinterpret_cast<const char*>(file->View()), file->Size()) : "";
}

}  // namespace viewtest
