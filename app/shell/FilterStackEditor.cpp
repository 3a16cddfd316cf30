#include "app/shell/FilterStackEditor.h"

#include "app/bars/GoToDialog.h"
#include "app/shell/TextFileViewWidget.h"
#include "engine/LogFormat.h"
#include "engine/TimeSeek.h"
#include "textwnd/FileWnd.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/StatusIndicators.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>

using shownset::FilterRule;
using shownset::FilterStack;

namespace {

constexpr const char* kArray = "FilterStacks";
// What the text column keeps at least, in average characters, and what the count column is sized for.
constexpr int kTextColumnChars = 16;
constexpr const char* kWidestCount = "0000000000";
constexpr const char* kRulesArray = "rules";

// The lowest-level choices in the order the combo lists them.
const logformat::Level kLevels[] = {logformat::Level::None, logformat::Level::Debug, logformat::Level::Info,
                                    logformat::Level::Warn, logformat::Level::Error, logformat::Level::Fatal};

QString LevelText(logformat::Level level)
{
    return level == logformat::Level::None ? QString(text::FilterLevelAny) : QString(logformat::LevelName(level));
}

// A time as the fields show it: local time, whole seconds unless it has a fraction (as ParseUserTime reads it).
QString LocalTimeText(std::int64_t micros)
{
    std::int64_t secs = micros / 1000000, frac = micros % 1000000;
    if (frac < 0)
        frac += 1000000, --secs;
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    QString out = QString::fromLatin1(buf);
    if (frac != 0)
        out += QString::asprintf(".%06lld", static_cast<long long>(frac));
    return out;
}

QTableWidgetItem* CheckItem(bool on)
{
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

void WriteStack(QSettings& settings, const NamedFilterStack& named)
{
    const FilterStack& s = named.stack;
    settings.setValue("name", QString::fromStdString(named.name));
    settings.setValue("combine", s.combine == shownset::Combine::All ? "all" : "any");
    settings.setValue("lowest", s.lowest == logformat::Level::None ? "any" : logformat::LevelName(s.lowest));
    settings.setValue("hasFrom", s.hasFrom);
    settings.setValue("from", QString::number(s.fromMicros));
    settings.setValue("hasTo", s.hasTo);
    settings.setValue("to", QString::number(s.toMicros));
    settings.setValue("context", s.context);
    settings.beginWriteArray(kRulesArray, static_cast<int>(s.rules.size()));
    for (std::size_t i = 0; i < s.rules.size(); ++i) {
        const FilterRule& r = s.rules[i];
        settings.setArrayIndex(static_cast<int>(i));
        settings.setValue("on", r.on);
        settings.setValue("kind", r.kind == shownset::RuleKind::Exclude ? "exclude" : "include");
        settings.setValue("text", QString::fromStdU16String(r.text));
        settings.setValue("regex", r.regex);
        settings.setValue("caseSensitive", r.caseSensitive);
    }
    settings.endArray();
}

NamedFilterStack ReadStack(QSettings& settings)
{
    NamedFilterStack named;
    FilterStack& s = named.stack;
    named.name = settings.value("name").toString().toStdString();
    s.combine = settings.value("combine").toString() == "all" ? shownset::Combine::All : shownset::Combine::Any;
    logformat::Level level = logformat::Level::None;
    if (logformat::ParseLevelName(settings.value("lowest").toString().toStdString(), level))
        s.lowest = level;
    s.hasFrom = settings.value("hasFrom", false).toBool();
    s.fromMicros = settings.value("from").toString().toLongLong();
    s.hasTo = settings.value("hasTo", false).toBool();
    s.toMicros = settings.value("to").toString().toLongLong();
    s.context = std::clamp(settings.value("context", 0).toInt(), 0, FilterStack::kMaxContext);
    const int n = settings.beginReadArray(kRulesArray);
    for (int i = 0; i < n; ++i) {
        settings.setArrayIndex(i);
        FilterRule r;
        r.on = settings.value("on", true).toBool();
        r.kind =
            settings.value("kind").toString() == "exclude" ? shownset::RuleKind::Exclude : shownset::RuleKind::Include;
        r.text = settings.value("text").toString().toStdU16String();
        r.regex = settings.value("regex", false).toBool();
        r.caseSensitive = settings.value("caseSensitive", false).toBool();
        s.rules.push_back(std::move(r));
    }
    settings.endArray();
    return named;
}

}  // namespace

std::vector<NamedFilterStack> LoadFilterStacks(QSettings& settings)
{
    std::vector<NamedFilterStack> out;
    const int n = settings.beginReadArray(kArray);
    for (int i = 0; i < n; ++i) {
        settings.setArrayIndex(i);
        out.push_back(ReadStack(settings));
    }
    settings.endArray();
    return out;
}

void SaveFilterStack(QSettings& settings, const NamedFilterStack& stack)
{
    std::vector<NamedFilterStack> all = LoadFilterStacks(settings);
    auto it = std::find_if(all.begin(), all.end(), [&](const NamedFilterStack& s) { return s.name == stack.name; });
    if (it != all.end())
        *it = stack;
    else
        all.push_back(stack);
    // The old array goes whole: entries of a longer one would stay behind.
    settings.remove(kArray);
    settings.beginWriteArray(kArray, static_cast<int>(all.size()));
    for (std::size_t i = 0; i < all.size(); ++i) {
        settings.setArrayIndex(static_cast<int>(i));
        WriteStack(settings, all[i]);
    }
    settings.endArray();
    settings.sync();
}

CFilterStackEditor::CFilterStackEditor(QSettings* settings, QWidget* parent) : QWidget(parent), m_pSettings(settings)
{
    setObjectName("filterStackEditor");
    auto* column = new QVBoxLayout(this);

    m_pRules = new QTableWidget(0, ColumnCount, this);
    m_pRules->setObjectName("filterRules");
    m_pRules->setHorizontalHeaderLabels({text::FilterRuleOn, text::FilterRuleKind, text::FilterRuleText,
                                         text::FilterRuleRegex, text::FilterRuleCase, text::FilterRuleCount});
    m_pRules->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pRules->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pRules->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_pRules->verticalHeader()->hide();
    {
        QComboBox kind;  // the width of a rule's kind before any rule is there
        kind.addItems({text::FilterInclude, text::FilterExclude});
        m_nKindWidth = kind.sizeHint().width();
    }
    m_pRules->horizontalHeader()->setSectionResizeMode(ColText, QHeaderView::Stretch);
    for (int c : {ColOn, ColKind, ColRegex, ColCase, ColCount})
        m_pRules->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    column->addWidget(m_pRules, 1);
    connect(m_pRules, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != ColCount)
            Edited();
    });

    auto* buttons = new QHBoxLayout;
    m_pAdd = new QPushButton(text::FilterAdd, this);
    m_pRemove = new QPushButton(text::FilterRemove, this);
    m_pUp = new QPushButton(text::FilterMoveUp, this);
    m_pDown = new QPushButton(text::FilterMoveDown, this);
    m_pAdd->setObjectName("filterAdd");
    m_pRemove->setObjectName("filterRemove");
    m_pUp->setObjectName("filterUp");
    m_pDown->setObjectName("filterDown");
    for (QPushButton* b : {m_pAdd, m_pRemove, m_pUp, m_pDown}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    column->addLayout(buttons);
    connect(m_pAdd, &QPushButton::clicked, this, [this] {
        AddRuleRow(FilterRule{});
        const int row = m_pRules->rowCount() - 1;
        m_pRules->setCurrentCell(row, ColText);
        m_pRules->setFocus(Qt::OtherFocusReason);
        m_pRules->editItem(m_pRules->item(row, ColText));
        Edited();
    });
    connect(m_pRemove, &QPushButton::clicked, this, [this] {
        const int row = m_pRules->currentRow();
        if (row < 0)
            return;
        m_pRules->removeRow(row);
        if (m_pRules->rowCount() > 0)
            m_pRules->setCurrentCell(std::min(row, m_pRules->rowCount() - 1), ColText);
        Edited();
    });
    connect(m_pUp, &QPushButton::clicked, this, [this] { MoveRow(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { MoveRow(1); });

    auto* form = new QFormLayout;
    m_pLevel = new QComboBox(this);
    m_pLevel->setObjectName("filterLevel");
    for (logformat::Level level : kLevels)
        m_pLevel->addItem(LevelText(level));
    form->addRow(text::FilterLowestLevel, m_pLevel);
    m_pFrom = new QLineEdit(this);
    m_pFrom->setObjectName("filterFrom");
    m_pTo = new QLineEdit(this);
    m_pTo->setObjectName("filterTo");
    form->addRow(text::FilterFrom, m_pFrom);
    form->addRow(text::FilterTo, m_pTo);
    m_pContext = new QSpinBox(this);
    m_pContext->setObjectName("filterContext");
    m_pContext->setRange(0, FilterStack::kMaxContext);
    form->addRow(text::FilterContext, m_pContext);
    m_pCombine = new QComboBox(this);
    m_pCombine->setObjectName("filterCombine");
    m_pCombine->addItems({text::FilterCombineAny, text::FilterCombineAll});
    form->addRow(QString(), m_pCombine);
    column->addLayout(form);
    connect(m_pLevel, &QComboBox::currentIndexChanged, this, &CFilterStackEditor::Edited);
    connect(m_pCombine, &QComboBox::currentIndexChanged, this, &CFilterStackEditor::Edited);
    connect(m_pContext, &QSpinBox::valueChanged, this, &CFilterStackEditor::Edited);
    connect(m_pFrom, &QLineEdit::textEdited, this, &CFilterStackEditor::Edited);
    connect(m_pTo, &QLineEdit::textEdited, this, &CFilterStackEditor::Edited);

    m_pProblem = new QLabel(this);
    m_pProblem->setObjectName("filterProblem");
    m_pProblem->setWordWrap(true);
    m_pProblem->setStyleSheet("color: #c00000");
    m_pProblem->hide();
    column->addWidget(m_pProblem);
    m_pTotal = new QLabel(this);
    m_pTotal->setObjectName("filterTotal");
    column->addWidget(m_pTotal);

    auto* keep = new QHBoxLayout;
    m_pSaveAs = new QPushButton(text::FilterSaveAs, this);
    m_pSaveAs->setObjectName("filterSaveAs");
    m_pSaveAs->setAutoDefault(false);
    m_pLoad = new QToolButton(this);
    m_pLoad->setObjectName("filterLoad");
    m_pLoad->setText(text::FilterLoad);
    m_pLoad->setPopupMode(QToolButton::InstantPopup);
    m_pLoad->setMenu(new QMenu(m_pLoad));
    keep->addWidget(m_pSaveAs);
    keep->addWidget(m_pLoad);
    m_pAllWindows = new QPushButton(text::FilterAllWindowsLabel, this);
    m_pAllWindows->setObjectName("filterAllWindows");
    m_pAllWindows->setAutoDefault(false);
    keep->addWidget(m_pAllWindows);
    keep->addStretch(1);
    column->addLayout(keep);
    connect(m_pSaveAs, &QPushButton::clicked, this, &CFilterStackEditor::SaveAs);
    connect(m_pLoad->menu(), &QMenu::aboutToShow, this, &CFilterStackEditor::FillLoadMenu);
    connect(m_pAllWindows, &QPushButton::clicked, this, [this] {
        ApplyNow();
        emit filterAllWindowsAsked();
    });

    m_pApplyTimer = new QTimer(this);
    m_pApplyTimer->setSingleShot(true);
    m_pApplyTimer->setInterval(kApplyDelayMs);
    connect(m_pApplyTimer, &QTimer::timeout, this, &CFilterStackEditor::ApplyNow);
    setEnabled(false);
}

QSize CFilterStackEditor::sizeHint() const
{
    QSize hint = QWidget::sizeHint();
    const QHeaderView* header = m_pRules->horizontalHeader();
    const QFontMetrics metrics = m_pRules->fontMetrics();
    const QAbstractItemView* view = m_pRules;  // where the column's size hint is public
    const auto contents = [view](int column) { return view->sizeHintForColumn(column); };
    int wanted = 2 * m_pRules->frameWidth() + m_pRules->verticalScrollBar()->sizeHint().width() +
                 metrics.averageCharWidth() * kTextColumnChars;
    for (int c : {ColOn, ColKind, ColRegex, ColCase})
        wanted += std::max(header->sectionSizeHint(c), contents(c));
    wanted += std::max(0, m_nKindWidth - std::max(header->sectionSizeHint(ColKind), contents(ColKind)));
    // The count column as wide as a count of many digits, so that it does not outgrow the pane as lines are found.
    wanted += std::max({header->sectionSizeHint(ColCount), contents(ColCount),
                        metrics.horizontalAdvance(QLatin1String(kWidestCount)) + 2 * metrics.averageCharWidth()});
    const QMargins margins = layout()->contentsMargins();
    hint.setWidth(std::max(hint.width(), wanted + margins.left() + margins.right()));
    return hint;
}

CFileWnd* CFilterStackEditor::Window() const
{
    if (!m_pWidget || !m_pWidget->TextWindow())
        return nullptr;
    return &m_pWidget->TextWindow()->FileWnd();
}

void CFilterStackEditor::SetViewWidget(CTextFileViewWidget* widget)
{
    if (widget == m_pWidget)
        return;
    if (IsApplyPending())
        ApplyNow();
    if (m_pWidget)
        m_pWidget->View().SetShownSetNewsCallback({});
    m_pWidget = widget;
    CFileWnd* wnd = Window();
    setEnabled(wnd != nullptr);
    if (m_pWidget) {
        m_pWidget->View().SetShownSetNewsCallback([self = QPointer<CFilterStackEditor>(this)] {
            if (self) {
                self->FollowTimeRange();
                self->RefreshStatus();
            }
        });
    }
    ShowStack(wnd ? wnd->GetFilterStack() : FilterStack{});
    RefreshStatus();
}

void CFilterStackEditor::ShowTimeRange(const FilterStack& stack)
{
    m_pFrom->setText(stack.hasFrom ? LocalTimeText(stack.fromMicros) : QString());
    m_pTo->setText(stack.hasTo ? LocalTimeText(stack.toMicros) : QString());
    m_shownRange = {stack.hasFrom, stack.hasTo, stack.fromMicros, stack.toMicros};
}

void CFilterStackEditor::FollowTimeRange()
{
    // The window's range set elsewhere (the timeline) is shown; an edit the user has not applied yet stays.
    const CFileWnd* wnd = Window();
    if (!wnd || IsApplyPending())
        return;
    const FilterStack& stack = wnd->GetFilterStack();
    const TimeRange range{stack.hasFrom, stack.hasTo, stack.fromMicros, stack.toMicros};
    if (range == m_shownRange)
        return;
    const bool showing = std::exchange(m_bShowing, true);
    ShowTimeRange(stack);
    m_pFrom->setStyleSheet({});
    m_pTo->setStyleSheet({});
    m_bShowing = showing;
}

void CFilterStackEditor::ShowStack(const FilterStack& stack)
{
    m_bShowing = true;
    m_pRules->setRowCount(0);
    for (const FilterRule& rule : stack.rules)
        AddRuleRow(rule);
    const auto* level = std::find(std::begin(kLevels), std::end(kLevels), stack.lowest);
    m_pLevel->setCurrentIndex(level == std::end(kLevels) ? 0 : static_cast<int>(level - std::begin(kLevels)));
    ShowTimeRange(stack);
    m_pContext->setValue(stack.context);
    m_pCombine->setCurrentIndex(stack.combine == shownset::Combine::All ? 1 : 0);
    m_pProblem->hide();
    m_bShowing = false;
}

void CFilterStackEditor::AddRuleRow(const FilterRule& rule)
{
    const bool showing = std::exchange(m_bShowing, true);
    const int row = m_pRules->rowCount();
    m_pRules->insertRow(row);
    m_pRules->setItem(row, ColOn, CheckItem(rule.on));
    auto* kind = new QComboBox(m_pRules);
    kind->addItems({text::FilterInclude, text::FilterExclude});
    kind->setCurrentIndex(rule.kind == shownset::RuleKind::Exclude ? 1 : 0);
    connect(kind, &QComboBox::currentIndexChanged, this, &CFilterStackEditor::Edited);
    m_pRules->setCellWidget(row, ColKind, kind);
    m_pRules->setItem(row, ColText, new QTableWidgetItem(QString::fromStdU16String(rule.text)));
    m_pRules->setItem(row, ColRegex, CheckItem(rule.regex));
    m_pRules->setItem(row, ColCase, CheckItem(rule.caseSensitive));
    auto* count = new QTableWidgetItem;
    count->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    m_pRules->setItem(row, ColCount, count);
    m_bShowing = showing;
}

FilterRule CFilterStackEditor::RuleOfRow(int row) const
{
    FilterRule rule;
    rule.on = m_pRules->item(row, ColOn)->checkState() == Qt::Checked;
    const auto* kind = qobject_cast<QComboBox*>(m_pRules->cellWidget(row, ColKind));
    rule.kind = kind && kind->currentIndex() == 1 ? shownset::RuleKind::Exclude : shownset::RuleKind::Include;
    rule.text = m_pRules->item(row, ColText)->text().toStdU16String();
    rule.regex = m_pRules->item(row, ColRegex)->checkState() == Qt::Checked;
    rule.caseSensitive = m_pRules->item(row, ColCase)->checkState() == Qt::Checked;
    return rule;
}

void CFilterStackEditor::MoveRow(int step)
{
    const int row = m_pRules->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= m_pRules->rowCount())
        return;
    std::vector<FilterRule> rules;
    for (int r = 0; r < m_pRules->rowCount(); ++r)
        rules.push_back(RuleOfRow(r));
    std::swap(rules[static_cast<std::size_t>(row)], rules[static_cast<std::size_t>(to)]);
    m_bShowing = true;
    m_pRules->setRowCount(0);
    for (const FilterRule& rule : rules)
        AddRuleRow(rule);
    m_bShowing = false;
    m_pRules->setCurrentCell(to, ColText);
    Edited();
}

bool CFilterStackEditor::StackOfControls(FilterStack& stack, std::string& error) const
{
    stack = {};
    for (int r = 0; r < m_pRules->rowCount(); ++r)
        stack.rules.push_back(RuleOfRow(r));
    const int level = m_pLevel->currentIndex();
    stack.lowest = level >= 0 && level < static_cast<int>(std::size(kLevels)) ? kLevels[level] : logformat::Level::None;
    stack.context = m_pContext->value();
    stack.combine = m_pCombine->currentIndex() == 1 ? shownset::Combine::All : shownset::Combine::Any;
    error.clear();
    const auto readTime = [&](QLineEdit* field, bool& has, std::int64_t& micros) {
        const std::string typed = field->text().trimmed().toStdString();
        has = !typed.empty();
        const bool ok = !has || timeseek::ParseUserTime(typed, micros);
        field->setStyleSheet(ok ? QString() : QStringLiteral("background: #ffd0d0"));
        if (!ok)
            error = text::FilterTimeInvalid;
        return ok;
    };
    const bool fromOk = readTime(m_pFrom, stack.hasFrom, stack.fromMicros);
    const bool toOk = readTime(m_pTo, stack.hasTo, stack.toMicros);
    return fromOk && toOk;
}

void CFilterStackEditor::Edited()
{
    if (m_bShowing || !Window())
        return;
    m_pApplyTimer->start();
}

bool CFilterStackEditor::IsApplyPending() const
{
    return m_pApplyTimer->isActive();
}

void CFilterStackEditor::ApplyNow()
{
    m_pApplyTimer->stop();
    FilterStack stack;
    std::string error;
    const bool ok = StackOfControls(stack, error);
    m_pProblem->setText(QString::fromStdString(error));
    m_pProblem->setVisible(!ok);
    if (ok)
        ApplyStack(stack);
}

void CFilterStackEditor::ApplyStack(const FilterStack& stack)
{
    CFileWnd* wnd = Window();
    if (!wnd)
        return;
    m_shownRange = {stack.hasFrom, stack.hasTo, stack.fromMicros, stack.toMicros};
    if (!(stack == wnd->GetFilterStack())) {
        const bool hadRules = !wnd->GetFilterStack().rules.empty();
        wnd->SetFilterStack(stack);
        if (!hadRules && !stack.rules.empty())
            wnd->SetShowOnlyFiltered(true);
    }
    RefreshStatus();
}

void CFilterStackEditor::RefreshStatus()
{
    CFileWnd* wnd = Window();
    const shownset::ShownStatus status = wnd ? wnd->GetShownStatus() : shownset::ShownStatus{};
    // The counts are by the index of the applied stack: rows that differ from it (an edit not yet applied)
    // show none.
    const bool applied = wnd && wnd->GetFilterStack().rules.size() == static_cast<std::size_t>(m_pRules->rowCount());
    const bool showing = std::exchange(m_bShowing, true);
    for (int r = 0; r < m_pRules->rowCount(); ++r) {
        const auto i = static_cast<std::size_t>(r);
        const std::string problem = applied && i < status.ruleErrors.size() ? status.ruleErrors[i] : std::string();
        QString count;
        if (!problem.empty())
            count = QString::fromStdString(problem);
        else if (applied && i < status.ruleCounts.size() && wnd->GetFilterStack().rules[i].on)
            count = QString::number(status.ruleCounts[i]);
        const QBrush background = problem.empty() ? QBrush() : QBrush(QColor(0xff, 0xc0, 0xc0));
        for (int c = 0; c < ColumnCount; ++c) {
            if (QTableWidgetItem* item = m_pRules->item(r, c)) {
                item->setBackground(background);
                item->setToolTip(QString::fromStdString(problem));
            }
        }
        m_pRules->item(r, ColCount)->setText(count);
    }
    m_bShowing = showing;
    QString total;
    if (wnd && wnd->GetShownSet())
        total = QString::fromStdString(ShownLinesText(status.shownLines, status.totalLines));
    m_pTotal->setText(total);
}

void CFilterStackEditor::SaveAs()
{
    if (IsApplyPending())
        ApplyNow();
    FilterStack stack;
    std::string error;
    if (!StackOfControls(stack, error))
        return;
    CGoToDialog dialog(
        text::FilterEditorTitle, text::FilterSaveAsPrompt,
        [&](const std::string& typed) -> std::string {
            const QString name = QString::fromStdString(typed).trimmed();
            if (name.isEmpty())
                return text::FilterSaveAsEmpty;
            NamedFilterStack named{name.toStdString(), stack};
            if (m_pSettings)
                SaveFilterStack(*m_pSettings, named);
            else {
                auto it = std::find_if(m_memoryStacks.begin(), m_memoryStacks.end(),
                                       [&](const NamedFilterStack& s) { return s.name == named.name; });
                if (it != m_memoryStacks.end())
                    *it = named;
                else
                    m_memoryStacks.push_back(named);
            }
            return {};
        },
        this);
    dialog.exec();
}

void CFilterStackEditor::FillLoadMenu()
{
    QMenu* menu = m_pLoad->menu();
    menu->clear();
    const std::vector<NamedFilterStack> stacks = m_pSettings ? LoadFilterStacks(*m_pSettings) : m_memoryStacks;
    for (const NamedFilterStack& named : stacks)
        menu->addAction(QString::fromStdString(named.name), this, [this, named] { Load(named); });
}

void CFilterStackEditor::Load(const NamedFilterStack& named)
{
    m_pApplyTimer->stop();
    ShowStack(named.stack);
    ApplyStack(named.stack);
}
