// The frame's keys and its help: the accelerator table and the keys that move
// between the windows, each a table that both binds the keys and writes the
// F1 page, so the page cannot tell of a key the frame does not have.
//
// Each shortcut issues its command through the router, so a key does what the
// ribbon element of the same command does, and is inert while nobody handles
// the command. Enter is deliberately not bound: a frame-wide Return would take
// the key from the find box, and nothing in the program has a use for it.
// Ctrl+C and Ctrl+Insert yield to a focused editor (the find box, the
// font name box): Qt offers such a widget the key first (ShortcutOverride),
// and it copies its own selection; everywhere else the key copies the screen,
// and that is the only path that does.
//
// F1 shows a short page of the keys and commands, so that a user needs no
// manual to find them; Shift+F1 is Qt's What's This mode.
#include "app/shell/MainFrame.h"

#include "app/shell/ChildFrame.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <cstddef>
#include <utility>
#include <vector>

namespace {

struct CAccelerator {
    QKeyCombination keys[2];
    int id;
};

const CAccelerator kAccelerators[] = {
    {{Qt::CTRL | Qt::Key_O}, cmd::FileOpen},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_O}, cmd::OpenMerged},
    {{Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert}, cmd::EditCopy},
    {{Qt::Key_F3}, cmd::FindNext},
    {{Qt::SHIFT | Qt::Key_F3}, cmd::FindPrevious},
    {{Qt::CTRL | Qt::Key_F}, cmd::FindGoTo},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_F}, cmd::FindDialog},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_R}, cmd::RegularExpression},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_L}, cmd::Filter},
    {{Qt::CTRL | Qt::Key_G}, cmd::GoToLine},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_G}, cmd::GoToTime},
    {{Qt::CTRL | Qt::Key_M}, cmd::ToggleMark},
    {{Qt::Key_F2}, cmd::NextMark},
    {{Qt::SHIFT | Qt::Key_F2}, cmd::PreviousMark},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_M}, cmd::MarkNote},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_S}, cmd::SaveLines},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_H}, cmd::ShowOnlyFiltered},
    {{Qt::Key_F1}, cmd::Help},
    {{Qt::SHIFT | Qt::Key_F1}, cmd::ContextHelp},
    // No split windows: the pane keys are taken and do nothing.
    {{Qt::Key_F6}, cmd::NextPane},
    {{Qt::SHIFT | Qt::Key_F6}, cmd::PrevPane},
};

// The keys of tabbed documents, shown on the help page from here as well. Shift+Tab arrives as Backtab: that
// spelling is bound but not shown.
enum class WindowMove { Next, Previous, Close };

struct CWindowKey {
    QKeyCombination keys[3];
    WindowMove move;
    const char* title;
};

const CWindowKey kWindowKeys[] = {
    {{Qt::CTRL | Qt::Key_Tab, Qt::CTRL | Qt::Key_F6}, WindowMove::Next, "Next window"},
    {{Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, Qt::CTRL | Qt::SHIFT | Qt::Key_F6},
     WindowMove::Previous,
     "Previous window"},
    {{Qt::CTRL | Qt::Key_F4, Qt::CTRL | Qt::Key_W}, WindowMove::Close, "Close the window"},
};

constexpr const char* kHelpTitle = "Keyboard Shortcuts and Commands";

template <std::size_t N>
QList<QKeySequence> KeysOf(const QKeyCombination (&combinations)[N])
{
    QList<QKeySequence> keys;
    for (const QKeyCombination& combination : combinations)
        if (combination.key() != Qt::Key_unknown)  // a row with fewer keys leaves the rest empty
            keys.append(QKeySequence(combination));
    return keys;
}

template <std::size_t N>
QString KeysText(const QKeyCombination (&combinations)[N])
{
    QStringList keys;
    for (const QKeySequence& key : KeysOf(combinations))
        if (key[0].key() != Qt::Key_Backtab)
            keys.append(key.toString(QKeySequence::NativeText));
    return keys.join(QStringLiteral(", "));
}

QString CommandTitle(int id)
{
    switch (id) {
    case cmd::Help: return QStringLiteral("This page");
    case cmd::ContextHelp: return QStringLiteral("What's This: click an element to learn what it does");
    default: return QString::fromStdString(StringTitle(id));
    }
}

// The page's keys as rows of a table, in groups, so that a screen reader reads each key with what it does and
// moves from row to row (text laid out with separators reads as one run).
void AddGroup(QTreeWidget* tree, const QString& title, const std::vector<std::pair<QString, QString>>& rows)
{
    auto* group = new QTreeWidgetItem(tree, {title});
    QFont bold = tree->font();
    bold.setBold(true);
    group->setFont(0, bold);
    group->setFirstColumnSpanned(true);
    for (const auto& [keys, what] : rows)
        new QTreeWidgetItem(group, {keys, what});
    group->setExpanded(true);
}

QTreeWidget* HelpKeys(QWidget* parent)
{
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(QStringLiteral("helpKeys"));
    tree->setAccessibleName(QStringLiteral("Keys"));
    tree->setColumnCount(2);
    tree->setHeaderLabels({QStringLiteral("Keys"), QStringLiteral("What they do")});
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    std::vector<std::pair<QString, QString>> window;
    for (const CAccelerator& accelerator : kAccelerators)
        if (accelerator.id != cmd::NextPane && accelerator.id != cmd::PrevPane)
            window.emplace_back(KeysText(accelerator.keys), CommandTitle(accelerator.id));
    for (const CWindowKey& key : kWindowKeys)
        window.emplace_back(KeysText(key.keys), QString::fromUtf8(key.title));
    window.emplace_back(QStringLiteral("Back, Forward buttons"), QStringLiteral("Previous and next window"));
    AddGroup(tree, QStringLiteral("Keys of the window"), window);
    AddGroup(tree, QStringLiteral("Keys of the text"),
             {{QStringLiteral("Up, Down"), QStringLiteral("One line up or down")},
              {QStringLiteral("Page Up, Page Down, Space"), QStringLiteral("One page up or down")},
              {QStringLiteral("Left, Right"), QStringLiteral("A quarter of the window sideways")},
              {QStringLiteral("Home, End"), QStringLiteral("Start and end of the file")},
              {QStringLiteral("Enter (in the find box)"), QStringLiteral("Find the text")}});
    tree->resizeColumnToContents(0);
    tree->setColumnWidth(0, tree->columnWidth(0) + tree->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 2);
    return tree;
}

QLabel* HelpCommands(QWidget* parent)
{
    auto* label = new QLabel(
        QStringLiteral(
            "<h3>Commands</h3>"
            "<p>The <b>File</b> button opens a file (its encoding can be chosen), closes the active one, reopens a "
            "recent one, or quits.</p>"
            "<p>On the <b>Options</b> tab: <b>Clipboard</b> copies the lines on the screen; <b>View</b> shows or "
            "hides the status bar and the ribbon; <b>Font</b> sets the face, size, style, colour and letter case of "
            "the text; <b>Page</b> sets the background colour; <b>Find</b> searches the active file forwards or "
            "backwards, with or without regard to case; <b>Window</b> opens another window on the file or switches "
            "between the windows.</p>"
            "<p>Every file remembers its own font, colours, letter case and encoding. The status bar shows the "
            "character at the top of the window, the file's length and its encoding; <b>Refresh</b> reads the file "
            "again. A file that grows is followed.</p>"),
        parent);
    label->setObjectName(QStringLiteral("helpCommands"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

}  // namespace

void CTextFileViewerMainFrame::AddAccelerators()
{
    for (const CAccelerator& accelerator : kAccelerators) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("accelerator%1").arg(accelerator.id));
        action->setData(accelerator.id);
        action->setShortcuts(KeysOf(accelerator.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, id = accelerator.id] { ExecuteCommand(id); });
        addAction(action);
    }
}

void CTextFileViewerMainFrame::AddWindowKeys()
{
    for (const CWindowKey& key : kWindowKeys) {
        auto* action = new QAction(this);
        action->setShortcuts(KeysOf(key.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, move = key.move] {
            if (move == WindowMove::Next)
                ActivateNextChildFrame();
            else if (move == WindowMove::Previous)
                ActivatePreviousChildFrame();
            else if (m_pActiveFrame)
                CloseChildFrame(m_pActiveFrame);
        });
        addAction(action);
    }
}

void CTextFileViewerMainFrame::ShowHelpPage()
{
    if (!m_pHelpPage) {
        auto* page = new QDialog(this);
        page->setObjectName(QStringLiteral("helpPage"));
        page->setAttribute(Qt::WA_DeleteOnClose);
        page->setWindowTitle(QString::fromUtf8(kHelpTitle));
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(HelpKeys(page), 1);
        layout->addWidget(HelpCommands(page));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, page);
        connect(buttons, &QDialogButtonBox::rejected, page, &QDialog::close);
        layout->addWidget(buttons);
        const int em = page->fontMetrics().horizontalAdvance(QLatin1Char('M'));
        page->resize(56 * em, 36 * page->fontMetrics().height());
        m_pHelpPage = page;
    }
    m_pHelpPage->show();
    m_pHelpPage->raise();
    m_pHelpPage->activateWindow();
}

bool CTextFileViewerMainFrame::OnHelpCommand(int id)
{
    switch (id) {
    case cmd::Help:
    case cmd::HelpFinder:
    case cmd::DefaultHelp: ShowHelpPage(); return true;
    case cmd::ContextHelp: QWhatsThis::enterWhatsThisMode(); return true;
    default: return false;
    }
}

bool CTextFileViewerMainFrame::OnUpdateHelpCommand(CCmdUI& ui)
{
    switch (ui.m_nID) {
    case cmd::Help:
    case cmd::HelpFinder:
    case cmd::DefaultHelp:
    case cmd::ContextHelp: ui.Enable(); return true;
    default: return false;
    }
}
