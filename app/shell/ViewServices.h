// What a view's Qt home needs of the window around it, and no more: the
// ribbon's elements, the program's dialogs, the command router with its
// update pass, the context menus and which window is active. The main frame
// provides it; the view widget never sees the frame, the application or the
// other windows, so it can change without them and they without it.
#pragma once

#include "platform/Types.h"

#include <string>
#include <vector>

struct CCmdUI;
class CFilePrefDatabase;
class CStateStore;
class IProfile;
class IRibbonColorElement;
class IRibbonComboElement;
class IRibbonFontElement;
class QWidget;

class IViewServices {
public:
    // The per-file preference database (null when there is none) and the settings new files start from: the
    // application's, handed to each view.
    virtual CFilePrefDatabase* PreferenceDatabase() = 0;
    virtual IProfile& Profile() = 0;
    // The store of marks and of the session (null when there is none), shared by every view.
    virtual CStateStore* StateStore() = 0;

    // The ribbon's elements by command id; null when the ribbon has none.
    virtual IRibbonColorElement* FindColorElement(int id) = 0;
    virtual IRibbonComboElement* FindComboElement(int id) = 0;
    virtual IRibbonFontElement* FindFontElement(int id) = 0;
    // The ribbon repaints with what its elements were given.
    virtual void RepaintRibbon() = 0;

    // A message box captioned with the application's title, owned by `parent`; returns a platform::kId... value.
    virtual int MessageBox(QWidget* parent, const std::string& text, unsigned type) = 0;
    virtual bool ChooseFont(QWidget* parent, platform::LOGFONTW& font, platform::COLORREF& color) = 0;

    // A user's command through the router, and its state as the update pass sees it.
    virtual bool ExecuteCommand(int id) = 0;
    virtual void UpdateCommandUI(CCmdUI& ui) = 0;
    // The context menu registered under `name` ("Edit": the text window's), or 0.
    virtual int ContextMenu(const std::string& name) const = 0;

    // Whether `window` (a child window) is the active one.
    virtual bool IsActiveWindow(const QWidget* window) const = 0;
    // Closes the child window once the current event has been handled (a view may ask from inside its handler).
    virtual void CloseWindowLater(QWidget* window) = 0;
    // Marks the child window's tab until it is next activated; `text` joins the tab's tooltip.
    virtual void MarkWindow(QWidget* window, const std::string& text) = 0;
    // The child window's title and its tab's tooltip made anew (it came to show other files).
    virtual void TitleChanged(QWidget* window) = 0;
    // The paths of the files open in every window (Save Lines never writes one of them).
    virtual std::vector<std::string> ViewedPaths() const = 0;

protected:
    ~IViewServices() = default;
};
