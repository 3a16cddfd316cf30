// The ribbon bar: a tab row (the application button, the quick-access
// toolbar, the category tabs and elements at its right end) over the active
// category's panels. It knows no command of its own: every user action on an
// element arrives as commandTriggered(id), and the owner's update pass sets
// enabled and checked states by command id.
#pragma once

#include "app/ribbon/RibbonTheme.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>

class CRibbonApplicationButton;
class CRibbonCategory;
class CRibbonElement;
class CRibbonPopup;
class QHBoxLayout;
class QMenu;

class CRibbonBar : public QWidget {
    Q_OBJECT
public:
    explicit CRibbonBar(QWidget* parent = nullptr);
    ~CRibbonBar() override;

    // The round button at the left of the tab row, `buttonSize` big; the bar takes it.
    void SetApplicationButton(CRibbonApplicationButton* button, const QSize& buttonSize);
    CRibbonApplicationButton* GetApplicationButton() const { return m_pAppButton; }

    // Categories; the first one added is the active one.
    CRibbonCategory* AddCategory(const QString& name);
    int GetCategoryCount() const { return static_cast<int>(m_categories.size()); }
    CRibbonCategory* GetCategory(int nIndex) const { return m_categories.value(nIndex); }
    CRibbonCategory* GetActiveCategory() const { return m_pActive; }
    void SetActiveCategory(CRibbonCategory* category);
    QRect GetTabRect(int nIndex) const { return m_tabRects.value(nIndex); }

    // Small icon buttons right of the application button, one per command,
    // copying the image and tooltip of the first element with that id.
    void SetQuickAccessCommands(const QList<int>& ids);
    QList<int> GetQuickAccessCommands() const;
    // An element at the right end of the tab row, after those added before.
    void AddToTabs(CRibbonElement* element);
    QList<CRibbonElement*> GetTabElements() const;

    // Elements by command id: the first one, or all of them (pop-ups included).
    CRibbonElement* FindByID(int nID) const;
    template <class T>
    T* FindByID(int nID) const
    {
        for (CRibbonElement* e : FindAllByID(nID))
            if (T* t = qobject_cast<T*>(e))
                return t;
        return nullptr;
    }
    QList<CRibbonElement*> FindAllByID(int nID) const;

    // The update pass: applies to every element and drop-down menu item with
    // the id; an unchanged state costs a look-up and nothing else.
    void SetCommandEnabled(int nID, bool bEnabled);
    void SetCommandChecked(int nID, bool bChecked);
    void SetCommandRadio(int nID, bool bRadio);
    void SetCommandToolTipNote(int nID, const QString& note);

    // Minimised: only the tab row shows; a tab's click shows its panels as a pop-up.
    void SetMinimized(bool bMinimized);
    bool IsMinimized() const { return m_bMinimized; }
    // Shows the active category as a pop-up (minimised ribbon only).
    void ShowCategoryPopup();

    void SetTheme(const CRibbonTheme& theme);
    const CRibbonTheme& GetTheme() const { return m_theme; }

    // Key tips: all at once; typing one (letter case aside) activates it.
    void ShowKeyTips();
    void HideKeyTips();
    bool AreKeyTipsShown() const { return !m_keyTips.isEmpty(); }
    // The key tips on show (fewer once letters have been typed).
    QStringList GetShownKeyTips() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void commandTriggered(int nID);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend class CRibbonElement;
    struct KeyTip {
        QString text;
        QPointer<QWidget> anchor;
        QPoint pos;  // in the anchor's coordinates
        std::function<void()> activate;
        QWidget* label = nullptr;
    };

    // A user's command from one of the elements: tells the owner, then closes
    // the ribbon's pop-ups.
    void NotifyCommand(int nID);
    void EnsureIndex() const;
    template <class Apply>
    void ForEachMenuItem(int nID, Apply&& apply);
    void LayoutTabRow();
    int TabRowHeight() const;
    int CategoryHeight() const;
    int TabAt(const QPoint& pos) const;
    void OnTabClicked(int nIndex);
    void AddKeyTip(const QString& text, QWidget* anchor, const QPoint& pos, std::function<void()> activate);
    void OnKeyTipChar(const QString& ch);
    // The tips of the panels and elements under `scope` (and the category tabs when it is null).
    void ShowKeyTipsIn(QWidget* scope);

    CRibbonTheme m_theme;
    CRibbonApplicationButton* m_pAppButton = nullptr;
    QWidget* m_pQuickAccess;
    QHBoxLayout* m_pQuickAccessLayout;
    QWidget* m_pTabElements;
    QHBoxLayout* m_pTabElementsLayout;
    QList<CRibbonCategory*> m_categories;
    CRibbonCategory* m_pActive = nullptr;
    QList<QRect> m_tabRects;
    int m_nHoverTab = -1;
    bool m_bMinimized = false;
    CRibbonPopup* m_pCategoryPopup = nullptr;

    mutable quint64 m_nIndexGeneration = ~quint64(0);
    mutable QHash<int, QList<CRibbonElement*>> m_index;
    mutable QList<QPointer<QMenu>> m_menus;

    QList<KeyTip> m_keyTips;
    QString m_keyPrefix;
};
