// Highlight rules on the Qt side: the settings file as QSettings writes it
// (and as the probe's reader reads it back), the rule editor driven as a user
// drives it, and the tab marks of the tab-group area.
#include "app/shell/HighlightRuleEditor.h"
#include "app/tabgroups/TabGroupArea.h"
#include "view/HighlightSettings.h"
#include "view/qt/QtHighlightStore.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <QtTest>

namespace {

HighlightRule Rule(const std::string& name, const std::string& pattern)
{
    HighlightRule r;
    r.name = name;
    r.pattern = pattern;
    return r;
}

}  // namespace

class HighlightQtTest : public QObject {
    Q_OBJECT
private slots:
    void settingsFileRoundTripsAndThePlainReaderAgrees()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("ostrel.conf");
        std::vector<HighlightRule> rules = {Rule("Errors", R"(\b(ERROR|FATAL)\b)"), Rule("Odd", "a;b, \"c\" = d"),
                                            Rule("Caf\u00E9", "\u00E9t\u00E9 #1"), Rule("", "")};
        rules[0].regex = rules[0].caseSensitive = true;
        rules[0].text = RuleColor::Of(platform::Rgb(0xe0, 0x44, 0x3a));
        rules[1].background = RuleColor::Of(platform::Rgb(1, 2, 3));
        rules[1].scope = RuleScope::Match;
        rules[1].alert = rules[1].stop = true;
        rules[2].enabled = false;
        {
            QSettings settings(path, QSettings::IniFormat);
            CQtHighlightStore store(&settings);
            CHighlightSettings highlight(store);
            QVERIFY2(!highlight.IsEnabled(), "off at the first start");
            highlight.SetRules(rules);
            highlight.SetEnabled(true);
            highlight.SetRules({rules[0], rules[1], rules[2], rules[3]});
        }
        {
            QSettings settings(path, QSettings::IniFormat);
            CQtHighlightStore store(&settings);
            CHighlightSettings restarted(store);
            QVERIFY(restarted.IsEnabled());
            QVERIFY(restarted.Rules() == rules);
            QVERIFY(CurrentHighlightRules() != nullptr);
            restarted.SetEnabled(false);
            QVERIFY(CurrentHighlightRules() == nullptr);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::vector<HighlightRule> read;
        QVERIFY(ReadRulesFromIni(file.readAll().toStdString(), read));
        QVERIFY2(read == rules, "the probe reads what the viewer writes");
    }

    void editorAsTheUserDrivesIt()
    {
        HighlightRule warn = Rule("Warn", "WARN");
        warn.scope = RuleScope::Match;
        CHighlightRuleEditor editor(nullptr, {warn}, nullptr);
        editor.show();
        auto* list = editor.findChild<QListWidget*>("RuleList");
        auto* pattern = editor.findChild<QLineEdit*>("Pattern");
        auto* regex = editor.findChild<QCheckBox*>("Regex");
        QVERIFY(list && pattern && regex);
        QTest::mouseClick(editor.findChild<QPushButton*>("Add"), Qt::LeftButton);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentRow(), 1);
        QTest::keyClicks(pattern, "ERROR (");
        QTest::mouseClick(regex, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY2(list->item(1)->data(Qt::UserRole).toBool(), "an invalid pattern is marked");
        QVERIFY(list->item(1)->toolTip().startsWith("Skipped: "));
        QVERIFY2(list->item(1)->data(Qt::AccessibleTextRole).toString().endsWith("(skipped)"),
                 "a screen reader hears it, not only sees the red");
        QCOMPARE(list->visualItemRect(list->item(1)).height(), list->visualItemRect(list->item(0)).height());
        QVERIFY(!editor.findChild<QLabel*>("PatternError")->text().isEmpty());
        {
            // What a screen reader hears: the mark in words (the colour buttons' names are the end-to-end suite's).
            QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(list);
            QAccessibleInterface* bad = rows->child(1);
            QVERIFY2(bad && bad->text(QAccessible::Description).startsWith("Skipped: "),
                     qPrintable(bad ? bad->text(QAccessible::Description) : QString("no row")));
            QVERIFY(rows->child(0)->text(QAccessible::Description).isEmpty());
        }
        QTest::keyClick(pattern, Qt::Key_Backspace);
        QVERIFY(!list->item(1)->data(Qt::UserRole).toBool());
        QVERIFY2(editor.PreviewHtml().contains("color:#e0443a") && editor.PreviewHtml().contains(">ERROR <"),
                 qPrintable(editor.PreviewHtml()));

        QTest::mouseClick(editor.findChild<QPushButton*>("MoveUp"), Qt::LeftButton);
        QCOMPARE(editor.Rules()[0].pattern, std::string("ERROR "));
        QVERIFY(editor.Rules()[0].regex);
        QCOMPARE(list->currentRow(), 0);
        list->item(1)->setCheckState(Qt::Unchecked);  // as a click on its check box does
        QVERIFY(!editor.Rules()[1].enabled);
        QTest::mouseClick(editor.findChild<QPushButton*>("AddLogLevels"), Qt::LeftButton);
        QCOMPARE(editor.Rules().size(), std::size_t(5));
        QVERIFY2(editor.Rules()[2].text == RuleColor::Of(platform::Rgb(0xc0, 0x28, 0x1b)),
                 "coloured for the window's light page");
        QTest::mouseClick(editor.findChild<QCheckBox*>("Stop"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(editor.Rules()[4].stop && editor.Rules()[4].alert);
        QTest::mouseClick(editor.findChild<QPushButton*>("Remove"), Qt::LeftButton);
        QCOMPARE(editor.Rules().size(), std::size_t(4));
    }

    void tabMarksLastUntilTheWindowIsActivated()
    {
        QWidget top;
        auto* area = new CTabGroupArea(&top);
        (new QVBoxLayout(&top))->addWidget(area);
        top.resize(700, 300);
        QWidget* a = new QWidget;
        QWidget* b = new QWidget;
        area->AddWindow(a, "a.log", "/logs/a.log");
        area->AddWindow(b, "b.log", "/logs/b.log");
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        QTabBar* bar = area->TabBar(0);
        const QImage plain = bar->grab().toImage();

        area->SetTabMark(b, Qt::red, "Alert: Errors");
        QVERIFY2(!CTabGroupArea::TabMark(b).isValid(), "the active window takes no mark");
        area->SetTabMark(a, Qt::red, "Alert: Errors");
        QCOMPARE(CTabGroupArea::TabMark(a), QColor(Qt::red));
        QCOMPARE(bar->tabToolTip(0), QString("/logs/a.log\nAlert: Errors"));
        QVERIFY2(bar->grab().toImage() != plain, "the mark is drawn");
        {
            // The dot stands clear of the title: columns of clean background between its last red and the text.
            const QImage marked = bar->grab().toImage();
            const QRect tab = bar->tabRect(0);
            int lastRed = -1, firstText = -1;
            for (int x = tab.left(); x <= tab.right() && firstText < 0; ++x)
                for (int y = tab.center().y() - 1; y <= tab.center().y() + 4; ++y) {  // the middle of dot and title
                    const QColor c = marked.pixelColor(x, y);
                    if (c.red() > 150 && c.green() < 110 && c.blue() < 110)
                        lastRed = x;
                    else if (lastRed >= 0 && x > lastRed && c.lightness() < 110)
                        firstText = x;
                }
            QVERIFY(lastRed >= 0 && firstText > lastRed);
            QVERIFY2(firstText - lastRed >= 3, qPrintable(QString("gap %1").arg(firstText - lastRed - 1)));
        }
        area->SetTabToolTip(a, "/logs/renamed.log");
        QCOMPARE(bar->tabToolTip(0), QString("/logs/renamed.log\nAlert: Errors"));

        area->MoveWindowToNewGroup(b, 1);  // b moves to a group of its own and stays active
        QCOMPARE(CTabGroupArea::TabMark(a), QColor(Qt::red));
        QTest::mouseClick(area->TabBar(0), Qt::LeftButton, {}, area->TabBar(0)->tabRect(0).center());
        QCOMPARE(area->ActiveWindow(), a);
        QVERIFY2(!CTabGroupArea::TabMark(a).isValid(), "activated: the mark goes");
        QCOMPARE(area->TabBar(0)->tabToolTip(0), QString("/logs/renamed.log"));
    }
};

QTEST_MAIN(HighlightQtTest)
#include "HighlightQtTest.moc"
