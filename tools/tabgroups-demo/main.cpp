// A window of tab groups with a few log-like pages, to look at and to try the
// dragging, the menus and the looks by hand.
//   tabgroups-demo [--dark] [--grab FILE [--menu list|tab]]
// --grab saves a picture of the window (with --menu: of the screen, the menu
// open) and quits; run it under Xvfb for the menus.
#include "app/tabgroups/TabGroupArea.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>

namespace {

CTabGroupTheme DarkTheme()
{
    CTabGroupTheme theme;
    theme.areaBackground = QColor(0x2b, 0x2d, 0x31);
    theme.rowBackground = QColor(0x3c, 0x3f, 0x45);
    theme.rowText = QColor(0xd8, 0xdc, 0xe2);
    theme.tabOutline = QColor(0x25, 0x27, 0x2b);
    theme.activeOutline = QColor(0xf0, 0xf0, 0xf0);
    return theme;
}

QWidget* MakePage(const QString& name)
{
    auto* page = new QPlainTextEdit;
    page->setReadOnly(true);
    page->setLineWrapMode(QPlainTextEdit::NoWrap);
    page->setFrameShape(QFrame::NoFrame);
    page->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    page->setStyleSheet(QStringLiteral("QPlainTextEdit { background: black; color: white; }"));
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("2024-05-%1 10:%2:07 host %3[%4]: line %5 of the sample\n")
                    .arg(12 + i / 20)
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(name)
                    .arg(1200 + i)
                    .arg(i + 1);
    page->setPlainText(text);
    return page;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.addOptions(
        {{QStringLiteral("dark"), QStringLiteral("Dark look.")},
         {QStringLiteral("grab"), QStringLiteral("Save a picture to FILE and quit."), QStringLiteral("FILE")},
         {QStringLiteral("menu"), QStringLiteral("Open the list or tab menu before the picture."),
          QStringLiteral("list|tab")}});
    options.process(app);

    QMainWindow window;
    auto* area = new CTabGroupArea;
    window.setCentralWidget(area);
    window.resize(960, 420);
    if (options.isSet(QStringLiteral("dark")))
        area->SetTheme(DarkTheme());

    int made = 0;
    auto add = [&](const QString& title, int group) {
        area->AddWindow(MakePage(title), title, QStringLiteral("/var/log/") + title, group);
        ++made;
    };
    for (const char* title : {"syslog", "kern.log", "app.log:1", "auth.log", "dpkg.log"})
        add(QString::fromLatin1(title), 0);
    QWidget* second = area->Windows().at(2);
    area->MoveWindowToNewGroup(second, 1);
    area->SetTabTitle(second, QStringLiteral("app.log:2"));
    for (const char* title : {"build output.txt", "R&D notes.txt"})
        add(QString::fromLatin1(title), 1);
    area->SetActiveWindow(area->Windows().at(1));

    QObject::connect(area, &CTabGroupArea::closeRequested, area, [](QWidget* w) { delete w; });
    QToolBar* tools = window.addToolBar(QStringLiteral("Windows"));
    tools->addAction(QStringLiteral("New Window"), [&] { add(QStringLiteral("new-%1.log").arg(made), -1); });
    tools->addAction(QStringLiteral("Previous"), area, &CTabGroupArea::ActivatePreviousWindow);
    tools->addAction(QStringLiteral("Next"), area, &CTabGroupArea::ActivateNextWindow);
    QAction* dark = tools->addAction(QStringLiteral("Dark look"));
    dark->setCheckable(true);
    dark->setChecked(options.isSet(QStringLiteral("dark")));
    QObject::connect(dark, &QAction::toggled, area,
                     [area](bool on) { area->SetTheme(on ? DarkTheme() : CTabGroupTheme()); });
    window.show();

    const QString file = options.value(QStringLiteral("grab"));
    if (file.isEmpty())
        return app.exec();
    const QString menu = options.value(QStringLiteral("menu"));
    QTimer::singleShot(500, &window, [&] {
        if (menu.isEmpty()) {
            window.grab().save(file);
            app.quit();
            return;
        }
        // The menu runs its own loop: the picture is taken from inside it.
        QTimer::singleShot(400, &window, [&] {
            const QRect frame = window.frameGeometry().adjusted(0, 0, 200, 120);
            window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file);
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
            app.quit();
        });
        QTabBar* bar = area->TabBar(0);
        if (menu == QLatin1String("tab")) {
            const QPoint at = bar->tabRect(1).center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
            QApplication::sendEvent(bar, &event);
        } else {
            // The list button sits at the right end of the first row.
            QWidget* row = bar->parentWidget();
            for (QAbstractButton* button : row->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
                button->click();
        }
    });
    return app.exec();
}
