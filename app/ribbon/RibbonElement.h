// The base of every ribbon element: a real widget that carries a command id,
// a label, small and large images, a two-part tooltip and key tips, and the
// enabled/checked state that the owner's update pass sets.
#pragma once

#include <QAccessible>
#include <QIcon>
#include <QWidget>

class CRibbonBar;
struct CRibbonTheme;

class CRibbonElement : public QWidget {
    Q_OBJECT
public:
    explicit CRibbonElement(int nID = 0, const QString& label = {}, QWidget* parent = nullptr);
    ~CRibbonElement() override;

    int GetID() const { return m_nID; }
    void SetID(int nID);

    // The label may hold a mnemonic ("E&xit"); it is shown without it.
    QString GetLabel() const { return m_label; }
    void SetLabel(const QString& label);

    QIcon GetSmallImage() const { return m_smallImage; }
    QIcon GetLargeImage() const { return m_largeImage; }
    void SetImages(const QIcon& small, const QIcon& large = {});

    // The tooltip shows the title in bold and the description under it.
    QString GetToolTipTitle() const { return m_toolTipTitle; }
    QString GetDescription() const { return m_description; }
    void SetToolTipText(const QString& title, const QString& description = {});
    // A line the tooltip adds under the description (why the command is
    // unavailable now), set by the update pass; empty: none.
    QString GetToolTipNote() const { return m_toolTipNote; }
    void SetToolTipNote(const QString& note);

    // The key tip selects the element; the menu key tip opens its drop-down menu.
    QString GetKeyTip() const { return m_keyTip; }
    QString GetMenuKeyTip() const { return m_menuKeyTip; }
    void SetKeys(const QString& keyTip, const QString& menuKeyTip = {});

    // Set by the update pass; setting the current value again costs nothing.
    void SetCommandEnabled(bool bEnabled);
    void SetChecked(bool bChecked);
    void SetRadio(bool bRadio);
    bool IsChecked() const { return m_bChecked || m_bRadio; }

    // What a matching key tip does: the same as the user's click on the element.
    virtual void OnKeyTip();
    virtual void OnMenuKeyTip() {}
    // Where the key tip stands, in the element's coordinates.
    virtual QPoint KeyTipPos() const;

    // The bar the element belongs to (through pop-ups as well), or null.
    CRibbonBar* GetBar() const;

    // What assistive tools are told the element is; they see its label, its
    // description, its checked state, and can press it as its key tip does.
    virtual QAccessible::Role AccessibleRole() const { return QAccessible::Button; }
    // The drop-down the element has open (a menu, a palette), or null: its child for assistive tools.
    virtual QWidget* GetOpenDropDown() const { return nullptr; }

    // Called by the bar when its theme changes.
    virtual void OnThemeChanged() { update(); }

protected:
    // Hands a user's command to the bar (id 0 issues nothing).
    void NotifyCommand(int nID);
    const CRibbonTheme& Theme() const;
    bool IsInGroup() const;

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool m_bHover = false;

private:
    void UpdateAccessibility();

    int m_nID;
    QString m_label;
    QIcon m_smallImage;
    QIcon m_largeImage;
    QString m_toolTipTitle;
    QString m_description;
    QString m_toolTipNote;
    QString m_keyTip;
    QString m_menuKeyTip;
    bool m_bEnabled = true;
    bool m_bChecked = false;
    bool m_bRadio = false;
};
