// Commands by id: a command target executes the
// ids it owns and says, for each of them, whether it is enabled, checked or
// marked, and what text a pane shows. The shell asks its targets in order
// (the active view, the main frame, the application); a command that none of
// them owns is disabled, so with no active view every view command is.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

// One update request for one command id.
struct CCmdUI {
    explicit CCmdUI(int id) : m_nID(id) {}

    void Enable(bool bEnable = true) { m_bEnabled = bEnable; }
    void SetCheck(int nCheck = 1) { m_nCheck = nCheck; }
    void SetRadio(bool bRadio = true) { m_bRadio = bRadio; }
    void SetText(std::string text) { m_text = std::move(text); }
    // A line the element's tooltip adds under its own text: why a command is
    // disabled, or a pane's detail.
    void SetToolTip(std::string note) { m_toolTip = std::move(note); }

    bool operator==(const CCmdUI&) const = default;

    int m_nID;
    bool m_bEnabled = true;
    int m_nCheck = -1;  // -1: the command has no check state; 0 unchecked, 1 checked
    bool m_bRadio = false;
    std::optional<std::string> m_text;  // panes only
    std::optional<std::string> m_toolTip;
};

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // Executes the command; false when this target does not own the id.
    virtual bool OnCommand(int id) = 0;
    // Fills in the command's state; false when this target does not own the id.
    virtual bool OnUpdateCommand(CCmdUI& ui) = 0;
};

// The first target (null ones skipped) that owns the id executes it; false when none does.
bool RouteCommand(std::initializer_list<ICommandTarget*> targets, int id);
// The first target that owns the id fills in its state; nobody owns it: disabled.
void RouteUpdateCommand(std::initializer_list<ICommandTarget*> targets, CCmdUI& ui);
