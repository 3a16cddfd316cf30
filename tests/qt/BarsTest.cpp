// The frame's status bar and caption bar: the status bar's elements and their
// commands, pane widths that follow text lengths only, panes that survive
// status tips and hiding; the caption bar's layout in wide and narrow bars,
// its tooltips, and the controller's one-bar rule.
#include "app/bars/CaptionBar.h"
#include "app/bars/GoToDialog.h"
#include "app/bars/MessageStrip.h"
#include "app/bars/StatusBar.h"
#include "view/CommandIds.h"
#include "view/StringTable.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

// Receives the addresses handed to the desktop instead of a browser.
class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class BarsTest : public QObject {
    Q_OBJECT

    static constexpr int M = CMyCaptionBar::kMargin;
    static constexpr int G = CMyCaptionBar::kElementGap;
    static constexpr int B = CMyCaptionBar::kBorderSize;
    static constexpr int kClose = CMyCaptionBar::kCloseGlyph + 8;

    static void layOut(CMyCaptionBar& bar, int width)
    {
        bar.LayOutElements();
        bar.resize(width, bar.CurrentHeight());
        bar.LayOutElements();
    }

private slots:
    // A message closes itself after a while; one that offers an action waits for it, and the action closes it.
    void messageStrip()
    {
        QWidget window;
        auto* strip = new CMessageStrip(&window);
        strip->SetAutoCloseMs(30);
        QSignalSpy closed(strip, &CMessageStrip::closed);
        QSignalSpy action(strip, &CMessageStrip::actionTriggered);
        window.show();
        strip->ShowMessage(CMessageStrip::Kind::Warning, "Reopened: the file was replaced");
        QVERIFY(strip->isVisible());
        QCOMPARE(strip->Text(), QString("Reopened: the file was replaced"));
        QCOMPARE(strip->accessibleName(), strip->Text());
        QTRY_VERIFY(strip->isHidden());
        QCOMPARE(closed.count(), 1);

        strip->ShowMessage(CMessageStrip::Kind::Information, "The file was replaced", "Reopen");
        QTest::qWait(60);
        QVERIFY(strip->isVisible());
        QCOMPARE(strip->ActionLabel(), QString("Reopen"));
        QTest::mouseClick(strip->findChild<QPushButton*>(), Qt::LeftButton);
        QCOMPARE(action.count(), 1);
        QVERIFY(strip->isHidden());

        // Shown in a hidden window (a background tab): it waits until the window is seen, then closes itself.
        window.hide();
        strip->ShowMessage(CMessageStrip::Kind::Warning, "Following stopped");
        QTest::qWait(90);
        QCOMPARE(strip->Text(), QString("Following stopped"));
        window.show();
        QVERIFY(strip->isVisible());
        QTRY_VERIFY(strip->isHidden());
    }

    void statusBar()
    {
        QMainWindow frame;
        auto* bar = new CStatusBar;
        frame.setStatusBar(bar);
        frame.resize(900, 300);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        QStringList names;
        for (QWidget* item : bar->Items()) {
            auto* line = qobject_cast<QFrame*>(item);
            names << (line && line->frameShape() == QFrame::VLine ? QStringLiteral("|")
                                                                  : item->accessibleDescription());
        }
        QCOMPARE(names, QStringList({text::PaneCurrentCharLabel, text::PaneTotalCharsLabel, "|",
                                     text::PaneEncodingLabel, "|", text::PaneRefreshLabel, "|", text::PaneLinkLabel}));
        QVERIFY(bar->PaneText(cmd::PaneCurrentChar).isEmpty());
        auto* refresh = qobject_cast<QToolButton*>(bar->Element(cmd::Refresh));
        const int small = bar->style()->pixelMetric(QStyle::PM_SmallIconSize);
        QVERIFY(refresh->autoRaise() && !refresh->icon().isNull() && refresh->iconSize() == QSize(small, small));

        // Clicks issue commands; texts do not.
        QSignalSpy spy(bar, &CStatusBar::commandTriggered);
        bar->SetPaneText(cmd::PaneCurrentChar, "Current Char: 12");
        QTest::mouseClick(refresh, Qt::LeftButton);
        QWidget* link = bar->Element(cmd::StatusLink);
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy[0][0].toInt(), cmd::Refresh);
        QCOMPARE(spy[1][0].toInt(), cmd::StatusLink);
        UrlSink sink;
        QDesktopServices::setUrlHandler("https", &sink, "open");
        QVERIFY(bar->OpenLink());
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(sink.urls, QList<QUrl>{QUrl(text::PaneLinkAddress)});

        // A status tip leaves the panes; hiding and showing keeps their texts.
        QStatusTipEvent tip(QStringLiteral("Open an existing document"));
        QCoreApplication::sendEvent(&frame, &tip);
        QCOMPARE(bar->currentMessage(), tip.tip());
        for (QWidget* item : bar->Items())
            QVERIFY(item->isVisible());
        QCOMPARE(bar->PaneText(cmd::PaneCurrentChar), QStringLiteral("Current Char: 12"));
    }

    void paneWidthsFollowLengthsOnly()
    {
        CStatusBar bar;
        QWidget* pane = bar.Element(cmd::PaneEncoding);
        const int empty = pane->width();
        bar.SetPaneText(cmd::PaneEncoding, "iiii");
        const int narrow = pane->width();
        QVERIFY(narrow > empty);
        // Same length, much wider letters: only the text changes.
        bar.SetPaneText(cmd::PaneEncoding, "WWWW");
        QCOMPARE(bar.PaneText(cmd::PaneEncoding), QStringLiteral("WWWW"));
        QCOMPARE(pane->width(), narrow);
        bar.SetPaneText(cmd::PaneEncoding, "WWWWW");
        QVERIFY(pane->width() > narrow + pane->fontMetrics().horizontalAdvance("W"));
        bar.SetPaneText(cmd::PaneEncoding, "");
        QCOMPARE(pane->width(), empty);
    }

    void captionLayout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("imageShown");
        QTest::addColumn<bool>("truncated");
        QTest::newRow("wide") << 2000 << true << false;
        QTest::newRow("narrow: text cut") << 300 << true << true;
        QTest::newRow("image just fits") << 8 + M + 20 + kClose << true << true;
        QTest::newRow("image does not fit") << 8 + M + 19 + kClose << false << true;
    }

    void captionLayout()
    {
        QFETCH(int, width);
        QFETCH(bool, imageShown);
        QFETCH(bool, truncated);
        CMyCaptionBar bar;
        QPixmap image(20, 20);
        image.fill(Qt::red);
        bar.SetBitmap(QIcon(image), QSize(20, 20), Qt::white);
        bar.SetText(text::WelcomeMessage);
        bar.SetImageToolTip("Title", "Description");
        layOut(bar, width);

        const QFontMetrics fm(bar.font());
        const int height = std::max(fm.height() + 2, 20) + 2 * M + B + 8;
        QCOMPARE(bar.CurrentHeight(), height);
        // The close box at the top right; the message in the rest, 4 pixels in.
        QCOMPARE(bar.CloseRect(), QRect(width - kClose, 4, kClose, kClose));
        const QRect c(4, 4, width - 8 - kClose, height - B - 8);
        const int yc = c.top() + c.height() / 2;
        QCOMPARE(bar.ImageRect(), imageShown ? QRect(c.left() + M, yc - 10, 20, 20) : QRect());
        if (imageShown)
            QVERIFY(bar.ToolTipAt(bar.ImageRect().center()).contains(QRegularExpression("<b>Title</b>.*Description")));
        QCOMPARE(bar.IsTextTruncated(), truncated);
        const QRect text = bar.TextRect();
        if (!truncated) {
            QCOMPARE(text, QRect(c.left() + M + 20 + G, yc - fm.height() / 2,
                                 fm.horizontalAdvance(text::WelcomeMessage), fm.height()));
            QVERIFY(bar.ToolTipAt(text.center()).isEmpty());
        } else if (!text.isEmpty()) {
            QCOMPARE(text.left() + text.width(), c.left() + c.width() - M);  // cut at the right margin
            QCOMPARE(bar.ToolTipAt(text.center()), QString(text::WelcomeMessage));
        }
    }

    void controllerKeepsOneBar()
    {
        QWidget frame;
        auto* column = new QVBoxLayout(&frame);
        column->addWidget(new QLabel("ribbon"));
        column->addWidget(new QLabel("windows"), 1);
        frame.resize(800, 400);
        CCaptionBarController controller(&frame, column, 1);
        QSignalSpy shown(&controller, &CCaptionBarController::captionBarShown);
        // On the screen only once the frame is. (Closing and toggling it are FrameTest's.)
        controller.ShowCaptionMessage();
        QCOMPARE(shown.count(), 0);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(shown.count(), 1);

        QPointer<CMyCaptionBar> first = controller.CaptionBar();
        controller.ShowCaptionMessage();
        QVERIFY(first.isNull());
        QCOMPARE(frame.findChildren<CMyCaptionBar*>().size(), 1);
        CMyCaptionBar* bar = controller.CaptionBar();
        QCOMPARE(column->indexOf(bar), 1);
        QCOMPARE(bar->Text(), QString(text::WelcomeMessage));
        const QString tip = bar->ToolTipAt(bar->ImageRect().center());
        QVERIFY(tip.contains(text::WelcomeTipTitle) && tip.contains(text::WelcomeTipDescription));
        QCOMPARE(bar->height(), bar->CurrentHeight());
    }

    // A refusal of the Go to dialogs is not only shown: the field the keys go back to tells it a screen reader.
    void goToRefusalIsAnnounced()
    {
        CGoToDialog dialog("Go to Line", "Line:", [](const std::string& text) {
            return text == "7" ? std::string() : std::string("There is no line ") + text;
        });
        dialog.show();
        auto* field = dialog.findChild<QLineEdit*>("goToText");
        QTest::keyClicks(field, "99");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Description),
                 QString("There is no line 99"));
    }
};

QTEST_MAIN(BarsTest)
#include "BarsTest.moc"
