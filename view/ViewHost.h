// The port through which a view reaches the frame around it: the ribbon
// elements it reads and writes (found by command id; null when the ribbon has
// none, and then the step that needs it is skipped), the dialogs it opens,
// and the windows it lives in. The Qt shell implements it on real widgets;
// the core tests implement it with plain doubles.
#pragma once

#include "platform/Types.h"
#include "textwnd/SaveLines.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CFileWnd;

// A colour picker.
class IRibbonColorElement {
public:
    virtual ~IRibbonColorElement() = default;
    virtual platform::COLORREF GetColor() = 0;
    // Shows the colour; issues no command.
    virtual void SetColor(platform::COLORREF color) = 0;
};

// A combo box. The text it shows and the entry it has selected are kept
// apart: a size box shows "13" while entry "14" is selected. Nothing done
// through this interface issues a command.
class IRibbonComboElement {
public:
    virtual ~IRibbonComboElement() = default;
    virtual std::u16string GetText() = 0;
    virtual void SetText(const std::u16string& text) = 0;
    virtual int GetCount() = 0;
    virtual int GetCurSel() = 0;  // -1: none
    virtual std::u16string GetItem(int index) = 0;
    // Selects the entry (-1: none), which also makes its text the box's text.
    virtual void SelectItem(int index) = 0;
    virtual void DeleteItem(int index) = 0;
    // Inserts an entry before `index` (-1: last); returns its index.
    virtual int InsertItem(int index, const std::u16string& text) = 0;
    // The element's caption (the find box shows its last search there).
    virtual void SetElementText(const std::u16string& text) = 0;
    // Whether the keyboard focus is in the box (the user is typing in it).
    virtual bool HasFocus() = 0;
    // Takes the keyboard focus with the box's whole text selected, ready to be typed over.
    virtual void FocusAndSelectAll() = 0;
    // The grey text the box shows while it is empty (empty: none).
    virtual void SetPlaceholder(const std::u16string& text) { (void)text; }
    // What is wrong with the box's text, in its tooltip in place of the description; empty: the usual tooltip.
    virtual void SetProblem(const std::string& text) { (void)text; }
};

// The font name box: the installed fixed-pitch faces.
class IRibbonFontElement : public IRibbonComboElement {
public:
    // Whether an entry of this name exists (letter case aside).
    virtual bool HasFace(const std::u16string& name) = 0;
    // The selected entry's face, character set and pitch and family; false when none is selected.
    virtual bool GetSelectedFace(std::u16string& name, std::uint8_t& charSet, std::uint8_t& pitchAndFamily) = 0;
    // Shows the face (also a name that is no entry) and selects its entry, if it has one.
    virtual void ShowFace(const std::u16string& name, std::uint8_t charSet) = 0;
};

// The modeless Find dialog a view opened. The host owns its window; what the
// user does in it comes back to the view that opened it as
// CTextFileView::OnFindDialogNext and OnFindDialogClosing. Nothing done
// through this interface asks for a search.
class IFindDialog {
public:
    virtual ~IFindDialog() = default;
    virtual void SetFindText(const std::u16string& text) = 0;
    virtual void SetMatchCase(bool matchCase) = 0;
    // Whether its text is taken as a regular expression (its title says so).
    virtual void SetRegularExpression(bool on) { (void)on; }
    // Shows the dialog above the other windows and activates it.
    virtual void BringToFront() = 0;
    // Closes the window and releases the dialog: the pointer is dead afterwards. Safe from inside the dialog's
    // own notification.
    virtual void DestroyWindow() = 0;
};

// How a message in the view's message strip is marked.
enum class ViewMessageKind { Information, Warning, Error };

class IViewHost {
public:
    virtual ~IViewHost() = default;

    // --- Ribbon elements by command id --------------------------------------------------------------------------
    virtual IRibbonColorElement* FindColorElement(int id) = 0;
    virtual IRibbonComboElement* FindComboElement(int id) = 0;
    virtual IRibbonFontElement* FindFontElement(int id) = 0;
    // Repaints the whole ribbon.
    virtual void InvalidateRibbon() = 0;

    // --- Dialogs ------------------------------------------------------------------------------------------------
    // A modal message box owned by the view, captioned with the application's title; `type` holds the
    // platform::kMb... buttons and icon. Returns the platform::kId... of the button pressed.
    virtual int MessageBox(const std::string& text, unsigned type) = 0;
    // The Font dialog, modal, starting from `font` and `color` (fixed-pitch faces only, with effects);
    // true on OK with both filled in, false when cancelled.
    virtual bool ChooseFont(platform::LOGFONTW& font, platform::COLORREF& color) = 0;
    // A new Find dialog owned by the view's window, shown with `text` and `matchCase` and searching down. Null
    // when it cannot be made.
    virtual IFindDialog* CreateFindDialog(const std::u16string& text, bool matchCase) = 0;
    // A small modal dialog that asks for one line of text. Each text the user confirms goes to `accept`, which
    // returns an empty text when it took it (the dialog closes) or what the dialog says while it stays open. A
    // host without dialogs (the tests' doubles) asks nothing.
    // `initial`: the text the field starts with, selected.
    virtual void AskText(const std::string& title, const std::string& prompt,
                         const std::function<std::string(const std::string&)>& accept, const std::string& initial = {})
    {
        (void)title, (void)prompt, (void)accept, (void)initial;
    }
    // Save Lines: which of `sources` (their names, in the order given) to write, and the file to write them to,
    // asked in one dialog that names the file; false when the user cancelled. A host without dialogs saves
    // nothing.
    virtual bool ChooseSaveLines(const std::vector<std::string>& sources, std::size_t& source, std::string& path)
    {
        (void)sources, (void)source, (void)path;
        return false;
    }
    // The lines the window's filter pane lists (none while it is closed), in file order.
    virtual savelines::CLineSet ListedLines() { return {}; }
    // The paths of every file open in the viewer (Save Lines writes none of them); the view adds its own.
    virtual std::vector<std::string> ViewedPaths() { return {}; }
    // The busy cursor, from BeginBusy to EndBusy (a long search on the user-interface thread).
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // Called again and again while a busy search runs, on the user-interface thread: the host keeps its windows
    // painted and says whether the user asked to stop the search (Esc). A host without input stops nothing.
    virtual bool BusyStopAsked() { return false; }

    // --- Windows ------------------------------------------------------------------------------------------------
    // Whether the view is the one of the window activated last (the ribbon shows that one's state).
    virtual bool IsActiveView() = 0;
    // Makes the text window that fills the view; the host owns it. Null when it cannot be made.
    virtual CFileWnd* CreateTextWindow() = 0;
    virtual void DestroyTextWindow() = 0;
    // Closes the window (child frame) the view lives in, after the current message: the view may be inside one
    // of its own handlers, so it is never destroyed under its own feet.
    virtual void DestroyFrame() = 0;
    virtual void FocusTextWindow() = 0;
    // Paints what is invalid in the text window now, not when the event loop next waits.
    virtual void UpdateTextWindow() = 0;
    // Holds the text window's repaints while several changes are made (the Font dialog's OK).
    virtual void LockUpdates(bool lock) = 0;
    // The point of the text window's client area that a command about "this line" means: where the context menu
    // was opened while it is open, else where the pointer is while it is over the text. False: no such point
    // (the command takes the top line).
    virtual bool PointerInText(int& x, int& y)
    {
        (void)x, (void)y;
        return false;
    }

    // --- Messages -----------------------------------------------------------------------------------------------
    // Shows `text` in the strip at the top of the view's window, in place of any earlier message: what happened
    // to this window's file or search, told where it happened and nowhere else. With `action`, the strip offers
    // it as a button that issues command `actionCommand` to this view; without, the message goes by itself.
    // A host without a strip (the tests' doubles) keeps no message.
    virtual void ShowMessage(ViewMessageKind kind, const std::string& text, const std::string& action = {},
                             int actionCommand = 0)
    {
        (void)kind, (void)text, (void)action, (void)actionCommand;
    }
    virtual void HideMessage() {}
    // What the window shows changed its name (a log shown with its older parts): the title is made anew.
    virtual void TitleChanged() {}
    // Each message shown is numbered from 1 up (0: none shown yet). A notice that goes by itself when what it
    // tells of ends takes back only its own message: HideMessageNumbered(n) hides the strip while message n is
    // still the one on show, and leaves a later message alone.
    virtual std::uint64_t LastMessageNumber() const { return 0; }
    virtual void HideMessageNumbered(std::uint64_t number) { (void)number; }
    // Marks the view's window (its tab) until it is next activated, with `text` saying why; a host without tabs
    // keeps no mark.
    virtual void MarkWindow(const std::string& text) { (void)text; }
};
