#include "app/ribbon/RibbonComboBox.h"

#include "app/ribbon/RibbonButtonsGroup.h"
#include "app/ribbon/RibbonPaint.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>

namespace {

constexpr int kArrowWidth = 14;
constexpr int kLineEditMargin = 2;  // QLineEdit's own space either side of its text, with the cursor's

// Draws each font family entry in its own face.
class CFontFaceDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        QFont face(option->font);
        face.setFamilies({index.data().toString()});
        option->font = face;
        option->fontMetrics = QFontMetrics(face);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 6);
    }
};

// Each installed fixed-pitch family once, by its family name: Qt lists a family
// once per foundry ("Nimbus Mono PS [urw]") and also fontconfig's aliases
// ("Monospace"), which resolve to some other face, often a proportional one.
QStringList FixedPitchFamilies()
{
    QStringList names;
    for (const QString& listed : QFontDatabase::families()) {
        const QString family = listed.section(QStringLiteral(" ["), 0, 0);
        if (names.contains(family) || !QFontDatabase::isFixedPitch(listed) || QFontDatabase::isPrivateFamily(listed))
            continue;
        if (QFontInfo(QFont(family)).family() == family)
            names.append(family);
    }
    return names;
}

}  // namespace

// The Qt combo box inside a ribbon combo: drawn flat, and, without an edit
// field, showing its own text rather than the selected entry's.
class CRibbonComboControl : public QComboBox {
public:
    explicit CRibbonComboControl(CRibbonComboBox* owner) : QComboBox(owner), m_pOwner(owner)
    {
        setAttribute(Qt::WA_Hover);
    }

    QString m_shown;  // the text of a box without an edit field

    // The pixels of a box `width` wide that are not its edit field (frame, arrow).
    int AroundField(int width) const
    {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.rect = QRect(0, 0, width, std::max(height(), 1));
        return width -
               style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width();
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave)
            update();
        return QComboBox::event(event);
    }

    // A user's key reaches the box, not its edit field (the field's focus goes
    // to the box, which hands it keys through event(), past any filter), so
    // Return is caught here: it confirms the typed text as it is.
    void keyPressEvent(QKeyEvent* event) override
    {
        const int key = event->key();
        if (isEditable() && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            event->accept();
            m_pOwner->NotifyCommand(m_pOwner->GetID());
            return;
        }
        QComboBox::keyPressEvent(event);
    }

    void showPopup() override
    {
        // The list may be wider than the box (long font names), never narrower.
        view()->setMinimumWidth(std::max(width(), view()->sizeHintForColumn(0) + 24));
        QComboBox::showPopup();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const CRibbonTheme& t = ribbon::themeOf(this);
        const bool hot = isEnabled() && (underMouse() || hasFocus());
        const bool grouped = m_pOwner->IsInGroup();
        const QRectF r = rect();
        ribbon::fillGradient(p, r, t.controlBack, t.controlBack,
                             grouped ? QColor()
                             : hot   ? t.hoverBorder
                                     : t.controlBorder,
                             grouped ? 0 : 2);
        const QRectF arrow(width() - kArrowWidth - (grouped ? 0 : 1), grouped ? 0 : 1, kArrowWidth,
                           height() - (grouped ? 0 : 2));
        if (hot)
            ribbon::paintHighlight(p, arrow, t, ribbon::Highlight::Hover, 0);
        ribbon::paintDropArrow(p, arrow.center(), isEnabled() ? t.text : t.disabledText);
        if (!isEditable()) {
            p.setPen(isEnabled() ? t.text : t.disabledText);
            const QRect textRect(4, 0, static_cast<int>(arrow.left()) - 6, height());
            p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                       fontMetrics().elidedText(m_shown, Qt::ElideRight, textRect.width()));
        }
    }

private:
    CRibbonComboBox* m_pOwner;
};

CRibbonComboBox::CRibbonComboBox(int nID, bool bHasEditBox, int nWidth, const QString& label, const QIcon& small,
                                 QWidget* parent)
    : CRibbonElement(nID, label, parent), m_pCombo(new CRibbonComboControl(this)), m_nWidth(nWidth)
{
    SetImages(small);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusProxy(m_pCombo);
    m_pCombo->setEditable(bHasEditBox);
    m_pCombo->setInsertPolicy(QComboBox::NoInsert);
    m_pCombo->setMaxVisibleItems(16);
    if (bHasEditBox) {
        // Completion would change the letter case of what was typed to an entry's.
        m_pCombo->setCompleter(nullptr);
        m_pCombo->lineEdit()->installEventFilter(this);
        // Qt picks the entry that equals the typed text when the field loses
        // the focus or takes Return; either would run the command unasked
        // (leaving the find box would search). Return is ours, and leaving
        // confirms nothing, so the box only hears the list being chosen from.
        QObject::disconnect(m_pCombo->lineEdit(), &QLineEdit::editingFinished, m_pCombo, nullptr);
        QObject::disconnect(m_pCombo->lineEdit(), &QLineEdit::returnPressed, m_pCombo, nullptr);
    }
    // Only a user's choice issues the command; filling from code never does.
    connect(m_pCombo, &QComboBox::activated, this, [this](int index) {
        m_pCombo->m_shown = m_pCombo->itemText(index);
        ShowStart();
        m_pCombo->update();
        NotifyCommand(GetID());
    });
}

bool CRibbonComboBox::HasEditBox() const
{
    return m_pCombo->isEditable();
}

template <class Change>
void CRibbonComboBox::Modify(Change&& change)
{
    const QSignalBlocker block(m_pCombo);
    const QString text = GetText();
    const bool noneSelected = m_pCombo->currentIndex() < 0;
    change();
    if (noneSelected)
        m_pCombo->setCurrentIndex(-1);  // Qt selects the first entry put into an empty box
    if (HasEditBox() && m_pCombo->lineEdit()->text() != text)
        m_pCombo->setEditText(text);
}

int CRibbonComboBox::AddItem(const QString& text)
{
    Modify([&] { m_pCombo->addItem(text); });
    return m_pCombo->count() - 1;
}

void CRibbonComboBox::InsertItem(int nIndex, const QString& text)
{
    Modify([&] { m_pCombo->insertItem(nIndex, text); });
}

bool CRibbonComboBox::DeleteItem(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_pCombo->count())
        return false;
    const bool wasSelected = nIndex == m_pCombo->currentIndex();
    Modify([&] {
        m_pCombo->removeItem(nIndex);
        if (wasSelected)
            m_pCombo->setCurrentIndex(-1);
    });
    return true;
}

void CRibbonComboBox::RemoveAllItems()
{
    Modify([&] { m_pCombo->clear(); });
}

int CRibbonComboBox::GetCount() const
{
    return m_pCombo->count();
}

QString CRibbonComboBox::GetItem(int nIndex) const
{
    return m_pCombo->itemText(nIndex);
}

int CRibbonComboBox::FindItem(const QString& text, Qt::CaseSensitivity cs) const
{
    for (int i = 0; i < m_pCombo->count(); ++i)
        if (m_pCombo->itemText(i).compare(text, cs) == 0)
            return i;
    return -1;
}

int CRibbonComboBox::GetCurSel() const
{
    return m_pCombo->currentIndex();
}

bool CRibbonComboBox::SelectItem(int nIndex)
{
    if (nIndex < -1 || nIndex >= m_pCombo->count())
        return false;
    const QString text = nIndex >= 0 ? m_pCombo->itemText(nIndex) : GetText();
    const QSignalBlocker block(m_pCombo);
    m_pCombo->setCurrentIndex(nIndex);
    SetText(text);
    return true;
}

QString CRibbonComboBox::GetText() const
{
    return HasEditBox() ? m_pCombo->lineEdit()->text() : m_pCombo->m_shown;
}

void CRibbonComboBox::SetText(const QString& text)
{
    if (HasEditBox()) {
        if (m_pCombo->lineEdit()->text() != text) {
            const QSignalBlocker block(m_pCombo);
            m_pCombo->setEditText(text);
            ShowStart();
        }
    } else if (m_pCombo->m_shown != text) {
        m_pCombo->m_shown = text;
        m_pCombo->update();
    }
}

void CRibbonComboBox::ShowStart()
{
    // A name longer than the box reads from its start ("DejaVu Sans Mo"), not
    // from its end, unless the user is editing it.
    if (HasEditBox() && !m_pCombo->hasFocus())
        m_pCombo->lineEdit()->setCursorPosition(0);
}

QComboBox* CRibbonComboBox::GetComboBox() const
{
    return m_pCombo;
}

void CRibbonComboBox::OnKeyTip()
{
    m_pCombo->setFocus(Qt::ShortcutFocusReason);
    if (HasEditBox())
        m_pCombo->lineEdit()->selectAll();
}

QPoint CRibbonComboBox::KeyTipPos() const
{
    return QPoint(LabelWidth() + 12, height() - 2);
}

int CRibbonComboBox::LabelWidth() const
{
    // In a group a box is compact, as the grouped buttons are: its label (the find box takes its last search
    // as its label) still names it for assistive tools, but is not drawn and takes no room.
    if (IsInGroup())
        return 0;
    const QString text = ribbon::stripMnemonic(GetLabel());
    int w = 0;
    if (!GetSmallImage().isNull())
        w += 3 + 16;
    if (!text.isEmpty())
        w += 4 + fontMetrics().horizontalAdvance(text);
    return w ? w + 6 : 0;
}

void CRibbonComboBox::ReserveTextWidth(const QString& text)
{
    m_reserved = text;
    updateGeometry();
}

QSize CRibbonComboBox::sizeHint() const
{
    int width = m_nWidth;
    if (QLineEdit* edit = m_pCombo->lineEdit(); edit && !m_reserved.isEmpty()) {
        // What the box keeps around its field at its own width, plus the field's own margins and the text.
        const int around = m_pCombo->AroundField(m_nWidth);
        const QMargins margins = edit->textMargins() + edit->contentsMargins();
        const int field =
            edit->fontMetrics().horizontalAdvance(m_reserved) + margins.left() + margins.right() + 2 * kLineEditMargin;
        width = std::max(width, field + std::max(around, kArrowWidth));
    }
    return QSize(LabelWidth() + width, ribbon::rowHeight(fontMetrics()));
}

void CRibbonComboBox::OnThemeChanged()
{
    // The edit field and the list take the ribbon's colours, so that text
    // stays readable in any look.
    const CRibbonTheme& t = Theme();
    QPalette pal = m_pCombo->palette();
    pal.setColor(QPalette::Base, t.controlBack);
    pal.setColor(QPalette::Text, t.text);
    pal.setColor(QPalette::Highlight, t.hoverBottom);
    pal.setColor(QPalette::HighlightedText, t.text);
    if (pal != m_pCombo->palette()) {
        m_pCombo->setPalette(pal);
        m_pCombo->view()->setPalette(pal);
        if (HasEditBox()) {
            pal.setColor(QPalette::Base, Qt::transparent);  // the box draws its own field
            m_pCombo->lineEdit()->setPalette(pal);
        }
    }
    update();
}

void CRibbonComboBox::showEvent(QShowEvent* event)
{
    OnThemeChanged();  // the look of the bar it now stands in
    // The box inside takes the focus, so assistive tools announce it.
    m_pCombo->setAccessibleName(accessibleName());
    m_pCombo->setAccessibleDescription(accessibleDescription());
    CRibbonElement::showEvent(event);
}

void CRibbonComboBox::paintEvent(QPaintEvent*)
{
    const int labelWidth = LabelWidth();
    if (!labelWidth)
        return;
    QPainter p(this);
    const CRibbonTheme& t = Theme();
    int x = 3;
    if (!GetSmallImage().isNull()) {
        ribbon::paintIcon(p, GetSmallImage(), QRectF(x, (height() - 16) / 2, 16, 16), isEnabled());
        x += 16 + 4;
    }
    p.setPen(isEnabled() ? t.text : t.disabledText);
    p.drawText(QRect(x, 0, labelWidth - x, height()), Qt::AlignLeft | Qt::AlignVCenter,
               ribbon::stripMnemonic(GetLabel()));
}

void CRibbonComboBox::resizeEvent(QResizeEvent*)
{
    const int inset = IsInGroup() ? 0 : 1;
    m_pCombo->setGeometry(LabelWidth(), inset, width() - LabelWidth(), height() - 2 * inset);
}

bool CRibbonComboBox::eventFilter(QObject* watched, QEvent* event)
{
    // Return confirms the typed text as it is: the command, and no entry
    // chosen or inserted behind the user's back.
    if (HasEditBox() && watched == m_pCombo->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            NotifyCommand(GetID());
            return true;
        }
    }
    return CRibbonElement::eventFilter(watched, event);
}

CRibbonFontComboBox::CRibbonFontComboBox(int nID, int nWidth, bool bHasEditBox, QWidget* parent)
    : CRibbonComboBox(nID, bHasEditBox, nWidth, {}, {}, parent)
{
    GetComboBox()->setItemDelegate(new CFontFaceDelegate(GetComboBox()));
    for (const QString& family : FixedPitchFamilies())
        AddItem(family);
}

bool CRibbonFontComboBox::HasFont(const QString& faceName) const
{
    return FindItem(faceName, Qt::CaseInsensitive) >= 0;
}

void CRibbonFontComboBox::SetFaceName(const QString& faceName)
{
    SelectItem(FindItem(faceName, Qt::CaseInsensitive));
    SetText(faceName);
}

QString CRibbonFontComboBox::GetSelectedFaceName() const
{
    const int sel = GetCurSel();
    return sel >= 0 ? GetItem(sel) : QString();
}
