#include "app/shell/HighlightRuleEditor.h"

#include "app/ribbon/RibbonColorButton.h"
#include "app/ribbon_content/ColorTables.h"
#include "app/ribbon_content/RibbonContent.h"
#include "platform/Win1252.h"
#include "textwnd/FileWnd.h"
#include "view/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr std::size_t kPreviewChars = 300;

// The top line of the window as it reads it.
QString TopLine(CFileWnd* wnd)
{
    if (!wnd || !wnd->HasText())
        return QStringLiteral("2024-03-01 12:00:00 ERROR request failed: WARN retrying, DEBUG id=42");
    TextPos p = wnd->GetTop();
    std::string narrow;
    std::u16string wide;
    const bool wideText = wnd->DecodesUtf8() || wnd->CodeUnitSize() == 2;
    wnd->ReadLine(p, wideText ? nullptr : &narrow, wideText ? &wide : nullptr, kPreviewChars);
    if (wideText)
        return QString::fromStdU16String(wide);
    QString line;
    for (const char c : narrow)
        line += QChar(platform::Win1252ToUnicode(static_cast<std::uint8_t>(c)));
    return line;
}

QString Css(platform::COLORREF c)
{
    return ColorFromRef(c).name();
}

}  // namespace

CHighlightRuleEditor::CHighlightRuleEditor(QWidget* parent, std::vector<HighlightRule> rules, CFileWnd* wnd,
                                           std::vector<HighlightRule> after)
    : QDialog(parent),
      m_rules(std::move(rules)),
      m_after(std::move(after)),
      m_line(TopLine(wnd)),
      m_crText(wnd ? wnd->GetFontColor() : platform::Rgb(0, 0, 0)),
      m_crPage(wnd ? wnd->GetPageColor() : platform::Rgb(255, 255, 255))
{
    setWindowTitle(tr("Highlight Rules"));
    setObjectName(QStringLiteral("HighlightRuleEditor"));
    BuildForm();
    Refill(m_rules.empty() ? -1 : 0);
}

void CHighlightRuleEditor::BuildForm()
{
    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("RuleList"));
    // The warning of an invalid rule no taller than a line of text.
    const int line = m_pList->fontMetrics().height();
    m_pList->setIconSize(QSize(line, line));
    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_pAdd = button(tr("&Add"), "Add");
    m_pRemove = button(tr("&Remove"), "Remove");
    m_pUp = button(tr("Move &Up"), "MoveUp");
    m_pDown = button(tr("Move &Down"), "MoveDown");
    m_pLogLevels = button(tr("Add &Log Levels"), "AddLogLevels");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_pAdd, m_pRemove, m_pUp, m_pDown, m_pLogLevels})
        buttons->addWidget(b);
    buttons->addStretch(1);

    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QStringLiteral("Name"));
    m_pPattern = new QLineEdit(this);
    m_pPattern->setObjectName(QStringLiteral("Pattern"));
    m_pRegex = new QCheckBox(tr("Regular e&xpression"), this);
    m_pRegex->setObjectName(QStringLiteral("Regex"));
    m_pCase = new QCheckBox(tr("&Match case"), this);
    m_pCase->setObjectName(QStringLiteral("CaseSensitive"));
    m_pError = new QLabel(this);
    m_pError->setObjectName(QStringLiteral("PatternError"));
    m_pError->setStyleSheet(QStringLiteral("color: #c0281b"));
    m_pScope = new QComboBox(this);
    m_pScope->setObjectName(QStringLiteral("Scope"));
    m_pScope->addItems({tr("The whole line"), tr("The matched text only")});
    auto picker = [this](const char* name, const QString& title, const QColor& automatic, const char* more) {
        // A clear image: the button draws its colour as a bar under it.
        QPixmap clear(16, 16);
        clear.fill(Qt::transparent);
        auto* p = new CRibbonColorButton(0, {}, automatic, QIcon(clear), {}, this);
        p->setObjectName(QLatin1String(name));
        p->SetToolTipText(title);  // its name for a screen reader as well: it has no label of its own
        p->setMinimumSize(40, 22);
        ConfigureColorPicker(p, automatic, more);
        return p;
    };
    m_pText = picker("TextColor", tr("Text colour"), QColor(0xe0, 0x44, 0x3a), text::ColorMoreTooltip);
    m_pBack = picker("BackgroundColor", tr("Background colour"), QColor(255, 255, 255), text::ColorMoreShadingTooltip);
    m_pTextOn = new QCheckBox(tr("&Text colour"), this);
    m_pTextOn->setObjectName(QStringLiteral("TextOn"));
    m_pBackOn = new QCheckBox(tr("&Background"), this);
    m_pBackOn->setObjectName(QStringLiteral("BackgroundOn"));
    m_pAlert = new QCheckBox(tr("Al&ert: mark the tab when a new line matches"), this);
    m_pAlert->setObjectName(QStringLiteral("Alert"));
    m_pStop = new QCheckBox(tr("&Stop following at a new line that matches"), this);
    m_pStop->setObjectName(QStringLiteral("Stop"));

    auto* options = new QHBoxLayout;
    options->addWidget(m_pRegex);
    options->addWidget(m_pCase);
    options->addStretch(1);
    auto* colours = new QHBoxLayout;
    colours->addWidget(m_pTextOn);
    colours->addWidget(m_pText);
    colours->addSpacing(12);
    colours->addWidget(m_pBackOn);
    colours->addWidget(m_pBack);
    colours->addStretch(1);
    auto* form = new QFormLayout;
    form->addRow(tr("&Name:"), m_pName);
    form->addRow(tr("&Pattern:"), m_pPattern);
    form->addRow(QString(), options);
    form->addRow(QString(), m_pError);
    form->addRow(tr("Colours:"), colours);
    form->addRow(tr("&Applies to:"), m_pScope);
    form->addRow(QString(), m_pAlert);
    form->addRow(QString(), m_pStop);

    m_pPreview = new QLabel(this);
    m_pPreview->setObjectName(QStringLiteral("Preview"));
    m_pPreview->setTextFormat(Qt::RichText);
    m_pPreview->setMinimumHeight(28);
    m_pPreview->setAutoFillBackground(true);
    QPalette pal = m_pPreview->palette();
    pal.setColor(QPalette::Window, ColorFromRef(m_crPage));
    m_pPreview->setPalette(pal);
    m_pPreview->setFont(QFont(QStringLiteral("Monospace")));

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(m_pList, 1);
    top->addLayout(buttons);
    top->addLayout(form, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(new QLabel(tr("Preview:"), this));
    layout->addWidget(m_pPreview);
    layout->addWidget(box);

    connect(m_pList, &QListWidget::currentRowChanged, this, &CHighlightRuleEditor::ShowRule);
    connect(m_pList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int row = m_pList->row(item);
        if (m_bFilling || row < 0)
            return;
        m_rules[static_cast<std::size_t>(row)].enabled = item->checkState() == Qt::Checked;
        UpdateMarks();
        UpdatePreview();
    });
    connect(m_pAdd, &QPushButton::clicked, this, [this] {
        HighlightRule r;
        r.name = tr("New rule").toStdString();
        r.scope = RuleScope::Match;
        r.text = RuleColor::Of(RefFromColor(m_pText->GetColor()));
        m_rules.push_back(r);
        Refill(static_cast<int>(m_rules.size()) - 1);
        m_pPattern->setFocus();
    });
    connect(m_pRemove, &QPushButton::clicked, this, [this] {
        const int row = Current();
        if (row < 0)
            return;
        m_rules.erase(m_rules.begin() + row);
        Refill(std::min(row, static_cast<int>(m_rules.size()) - 1));
    });
    connect(m_pUp, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { Move(1); });
    connect(m_pLogLevels, &QPushButton::clicked, this, [this] {
        for (HighlightRule& r : ResolvedRules(LogLevelRules(), m_crText, m_crPage))
            m_rules.push_back(std::move(r));
        Refill(static_cast<int>(m_rules.size()) - 1);
    });
    for (QLineEdit* e : {m_pName, m_pPattern})
        connect(e, &QLineEdit::textEdited, this, &CHighlightRuleEditor::TakeForm);
    for (QCheckBox* c : {m_pRegex, m_pCase, m_pTextOn, m_pBackOn, m_pAlert, m_pStop})
        connect(c, &QCheckBox::toggled, this, &CHighlightRuleEditor::TakeForm);
    connect(m_pScope, &QComboBox::currentIndexChanged, this, &CHighlightRuleEditor::TakeForm);
    // Choosing a colour means using it.
    connect(m_pText, &CRibbonColorButton::colorChosen, this, [this] { m_pTextOn->setChecked(true), TakeForm(); });
    connect(m_pBack, &CRibbonColorButton::colorChosen, this, [this] { m_pBackOn->setChecked(true), TakeForm(); });
}

int CHighlightRuleEditor::Current() const
{
    const int row = m_pList->currentRow();
    return row >= 0 && row < static_cast<int>(m_rules.size()) ? row : -1;
}

void CHighlightRuleEditor::Refill(int select)
{
    {
        const QSignalBlocker quiet(m_pList);
        m_bFilling = true;
        m_pList->clear();
        for (const HighlightRule& r : m_rules) {
            auto* item = new QListWidgetItem(QString::fromStdString(r.name), m_pList);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(r.enabled ? Qt::Checked : Qt::Unchecked);
        }
        m_bFilling = false;
        m_pList->setCurrentRow(select);
    }
    UpdateMarks();
    ShowRule(select);
}

void CHighlightRuleEditor::ShowRule(int index)
{
    const bool any = index >= 0 && index < static_cast<int>(m_rules.size());
    for (QWidget* w : std::initializer_list<QWidget*>{m_pName, m_pPattern, m_pRegex, m_pCase, m_pTextOn, m_pText,
                                                      m_pBackOn, m_pBack, m_pScope, m_pAlert, m_pStop, m_pRemove})
        w->setEnabled(any);
    m_pUp->setEnabled(any && index > 0);
    m_pDown->setEnabled(any && index + 1 < static_cast<int>(m_rules.size()));
    m_bFilling = true;
    const HighlightRule r = any ? m_rules[static_cast<std::size_t>(index)] : HighlightRule{};
    m_pName->setText(QString::fromStdString(r.name));
    m_pPattern->setText(QString::fromStdString(r.pattern));
    m_pRegex->setChecked(r.regex);
    m_pCase->setChecked(r.caseSensitive);
    m_pTextOn->setChecked(r.text.kind != RuleColor::Unchanged);
    m_pBackOn->setChecked(r.background.kind != RuleColor::Unchanged);
    if (r.text.kind != RuleColor::Unchanged)
        m_pText->SetColor(ColorFromRef(r.text.Resolve(m_crText, m_crPage, m_crText)));
    if (r.background.kind != RuleColor::Unchanged)
        m_pBack->SetColor(ColorFromRef(r.background.Resolve(m_crText, m_crPage, m_crPage)));
    m_pScope->setCurrentIndex(r.scope == RuleScope::Match ? 1 : 0);
    m_pAlert->setChecked(r.alert);
    m_pStop->setChecked(r.stop);
    m_bFilling = false;
    UpdateMarks();
    UpdatePreview();
}

void CHighlightRuleEditor::TakeForm()
{
    const int row = Current();
    if (m_bFilling || row < 0)
        return;
    HighlightRule& r = m_rules[static_cast<std::size_t>(row)];
    r.name = m_pName->text().toStdString();
    r.pattern = m_pPattern->text().toStdString();
    r.regex = m_pRegex->isChecked();
    r.caseSensitive = m_pCase->isChecked();
    r.text = m_pTextOn->isChecked() ? RuleColor::Of(RefFromColor(m_pText->GetColor())) : RuleColor{};
    r.background = m_pBackOn->isChecked() ? RuleColor::Of(RefFromColor(m_pBack->GetColor())) : RuleColor{};
    r.scope = m_pScope->currentIndex() == 1 ? RuleScope::Match : RuleScope::Line;
    r.alert = m_pAlert->isChecked() || m_pStop->isChecked();  // a stop rule is an alert rule
    r.stop = m_pStop->isChecked();
    m_pList->item(row)->setText(m_pName->text());
    UpdateMarks();
    UpdatePreview();
}

void CHighlightRuleEditor::Move(int step)
{
    const int row = Current(), to = row + step;
    if (row < 0 || to < 0 || to >= static_cast<int>(m_rules.size()))
        return;
    std::swap(m_rules[static_cast<std::size_t>(row)], m_rules[static_cast<std::size_t>(to)]);
    Refill(to);
}

// A rule whose pattern does not compile is marked in the list, and the form says why.
void CHighlightRuleEditor::UpdateMarks()
{
    std::vector<HighlightRule> all = m_rules;
    for (HighlightRule& r : all)
        r.enabled = true;
    const CHighlightRules compiled(all);
    const QSignalBlocker quiet(m_pList);
    for (int i = 0; i < m_pList->count(); ++i) {
        const QString error = QString::fromStdString(compiled.Error(static_cast<std::size_t>(i)));
        QListWidgetItem* item = m_pList->item(i);
        item->setForeground(error.isEmpty() ? palette().color(QPalette::Text) : QColor(0xc0, 0x28, 0x1b));
        // A valid rule shows an empty picture of the warning's size: rows keep one height whichever they hold.
        QPixmap blank(m_pList->iconSize());
        blank.fill(Qt::transparent);
        item->setIcon(error.isEmpty() ? QIcon(blank) : style()->standardIcon(QStyle::SP_MessageBoxWarning));
        item->setToolTip(error.isEmpty() ? QString() : tr("Skipped: %1").arg(error));
        // Said, not only shown: the red and the picture reach no screen reader.
        item->setData(Qt::AccessibleTextRole, error.isEmpty() ? item->text() : tr("%1 (skipped)").arg(item->text()));
        item->setData(Qt::AccessibleDescriptionRole, error.isEmpty() ? QString() : tr("Skipped: %1").arg(error));
        item->setData(Qt::UserRole, !error.isEmpty());
    }
    const int row = Current();
    m_pError->setText(row < 0 ? QString() : QString::fromStdString(compiled.Error(static_cast<std::size_t>(row))));
}

QString CHighlightRuleEditor::PreviewHtml() const
{
    return m_pPreview->text();
}

// The line with every rule applied, as the window would colour it.
void CHighlightRuleEditor::UpdatePreview()
{
    std::vector<HighlightRule> all = m_rules;
    all.insert(all.end(), m_after.begin(), m_after.end());
    const CHighlightRules rules(all);
    const std::string utf8 = m_line.toStdString();
    std::vector<CHighlightRules::Span> spans;
    rules.Match(utf8, spans);
    std::vector<int> owner(utf8.size() + 1, -1);
    for (const auto& s : spans)
        for (std::size_t i = s.begin; i < s.end; ++i)
            if (owner[i] < 0)
                owner[i] = s.rule;
    QString html = QStringLiteral("<span style=\"white-space:pre\">");
    std::size_t byte = 0;
    int open = -2;
    for (const char32_t ch : m_line.toUcs4()) {
        const int rule = owner[byte];
        if (rule != open) {
            if (open != -2)
                html += QStringLiteral("</span>");
            const HighlightRule* r = rule >= 0 ? &all[static_cast<std::size_t>(rule)] : nullptr;
            const auto fg = r ? r->text.Resolve(m_crText, m_crPage, m_crText) : m_crText;
            const auto bg = r ? r->background.Resolve(m_crText, m_crPage, m_crPage) : m_crPage;
            html += QStringLiteral("<span style=\"color:%1;background-color:%2\">").arg(Css(fg), Css(bg));
            open = rule;
        }
        html += QString::fromUcs4(&ch, 1).toHtmlEscaped();
        byte += QString::fromUcs4(&ch, 1).toUtf8().size();
    }
    if (open != -2)
        html += QStringLiteral("</span>");
    m_pPreview->setText(html + QStringLiteral("</span>"));
}
