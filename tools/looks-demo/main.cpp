// looks-demo: the parts of the main window (the viewer's ribbon, the welcome
// message in the caption bar, two tab groups of text windows, the status bar)
// in one window, for looking at the application looks:
//
//   looks-demo [--look ID] [--dark-desktop] [--open PART] [--shot FILE.png | --all DIR]
//
// --dark-desktop gives the application a dark palette first, as a dark desktop
// would. --open shows a pop-up: style (the Style menu), fontlist, tooltip. --shot saves the screen after a moment
// and quits; --all saves one picture per look (DIR/<name>.png). Use under Xvfb.
#include "app/CaptionBar.h"
#include "app/Looks.h"
#include "app/RibbonContent.h"
#include "app/StatusBar.h"
#include "app/ribbon/RibbonBar.h"
#include "app/ribbon/RibbonComboBox.h"
#include "file/TextFileDoc.h"
#include "platform/Types.h"
#include "textwnd/qt/FileWndWidget.h"
#include "view/CommandIds.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <cstring>
#include <memory>
#include <vector>

namespace {

QPalette darkDesktopPalette()
{
    QPalette pal(QColor(0x3a, 0x3a, 0x3a), QColor(0x2a, 0x2a, 0x2a));
    pal.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    pal.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    pal.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    pal.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    pal.setColor(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
    pal.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
    return pal;
}

QByteArray sampleText(const char* host, int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("2024-05-12 10:%1:%2 %3 service[%4]: request %5 handled in %6 ms\n")
                    .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(QLatin1String(host))
                    .arg(1200 + i % 7)
                    .arg(40000 + i * 13)
                    .arg(3 + i * 7 % 90)
                    .toUtf8();
    return text;
}

// A text window on a document, with the colours of its file's record.
struct TextWindow {
    std::unique_ptr<CTextFileDoc> doc;
    CFileWndWidget* widget = nullptr;
};

TextWindow openText(const QString& path, platform::COLORREF text, platform::COLORREF page)
{
    TextWindow w{std::make_unique<CTextFileDoc>(), new CFileWndWidget};
    w.doc->OnOpenDocument(QFile::encodeName(path).constData());
    CFileWnd& wnd = w.widget->FileWnd();
    platform::LOGFONTW lf{};
    lf.lfHeight = -platform::MulDiv(10, w.widget->GetDpiY(), 72);
    lf.lfWeight = platform::kFwNormal;
    const char16_t face[] = u"DejaVu Sans Mono";
    std::memcpy(lf.lfFaceName, face, sizeof face);
    wnd.SetLogFont(lf);
    wnd.SetFontColor(text);
    wnd.SetPageColor(page);
    w.widget->LoadFile(w.doc->GetMappedFile());
    return w;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser options;
    options.addOptions({{"look", "The look's id (default 217).", "ID", "217"},
                        {"dark-desktop", "A dark application palette before the look."},
                        {"open", "Show a pop-up: style, fontlist, tooltip.", "PART"},
                        {"shot", "Save a picture of the screen to FILE and quit.", "FILE"},
                        {"all", "Save a picture per look into DIR and quit.", "DIR"}});
    options.process(app);
    if (options.isSet("dark-desktop"))
        QApplication::setPalette(darkDesktopPalette());

    QTemporaryDir files;
    const char* hosts[] = {"syslog", "kern.log", "auth.log", "build.log"};
    for (const char* host : hosts) {
        QFile f(files.filePath(QLatin1String(host)));
        if (f.open(QIODevice::WriteOnly))
            f.write(sampleText(host, 400));
    }

    QMainWindow window;
    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* ribbon = new CRibbonBar;
    InitRibbon(*ribbon);
    // What a view with the default font shows in the boxes.
    ribbon->FindByID<CRibbonFontComboBox>(cmd::FontName)->SetFaceName("Courier New");
    auto* size = ribbon->FindByID<CRibbonComboBox>(cmd::FontSize);
    size->SelectItem(size->FindItem("10"));
    column->addWidget(ribbon);
    CCaptionBarController captions(&window, column, 1);
    auto* area = new CTabGroupArea;
    column->addWidget(area, 1);
    window.setCentralWidget(central);
    auto* status = new CStatusBar;
    status->SetPaneText(cmd::PaneCurrentChar, QStringLiteral("Current Char: 1,024"));
    status->SetPaneText(cmd::PaneTotalChars, QStringLiteral("Total Chars: 32,768"));
    status->SetPaneText(cmd::PaneEncoding, QStringLiteral("UTF-8"));
    window.setStatusBar(status);

    // White on black is what a file gets at first; the second shows a record's own colours.
    std::vector<TextWindow> texts;
    const platform::COLORREF colours[][2] = {{platform::Rgb(255, 255, 255), platform::Rgb(0, 0, 0)},
                                             {platform::Rgb(0, 0, 0), platform::Rgb(255, 255, 240)},
                                             {platform::Rgb(255, 255, 255), platform::Rgb(0, 0, 0)},
                                             {platform::Rgb(0, 96, 0), platform::Rgb(255, 255, 255)}};
    for (int i = 0; i < 4; ++i) {
        texts.push_back(openText(files.filePath(QLatin1String(hosts[i])), colours[i][0], colours[i][1]));
        area->AddWindow(texts.back().widget, QLatin1String(hosts[i]), files.filePath(QLatin1String(hosts[i])), 0);
    }
    area->MoveWindowToNewGroup(texts[2].widget, 1);
    area->MoveWindow(texts[3].widget, 1);
    area->SetActiveWindow(texts[2].widget);

    window.resize(1100, 640);
    window.show();
    captions.ShowCaptionMessage();

    int office2007Style = 0;
    const CLookParts parts{ribbon, area, status};
    ApplyLook(LookForId(options.value("look").toInt(), office2007Style), parts);
    const QString open = options.value("open");
    QTimer::singleShot(300, &window, [ribbon, open] {
        if (open == "style") {
            for (CRibbonElement* e : ribbon->GetTabElements()) {
                if (e->GetID() == 0)
                    e->OnMenuKeyTip();
            }
        } else if (open == "fontlist") {
            ribbon->FindByID<CRibbonComboBox>(cmd::FontName)->GetComboBox()->showPopup();
        } else if (open == "tooltip") {
            CRibbonElement* copy = ribbon->FindByID(cmd::EditCopy);
            QToolTip::showText(copy->mapToGlobal(QPoint(4, copy->height() + 4)), copy->toolTip(), copy);
        }
    });

    auto grab = [&window](const QString& path) {
        // The screen under the window, so that pop-ups over it are in the picture.
        const QRect r = window.frameGeometry();
        QPixmap picture =
            window.screen() ? window.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()) : QPixmap();
        if (picture.isNull())
            picture = window.grab();
        return picture.save(path, "PNG");
    };
    const QString shot = options.value("shot");
    const QString all = options.value("all");
    if (!shot.isEmpty()) {
        QTimer::singleShot(1200, &window, [&] { QCoreApplication::exit(grab(shot) ? 0 : 1); });
    } else if (!all.isEmpty()) {
        QDir().mkpath(all);
        QTimer::singleShot(1200, &window, [&] {
            bool saved = true;
            for (const CLook& look : Looks()) {
                ApplyLook(look, parts);
                QCoreApplication::processEvents();
                saved = grab(QDir(all).filePath(look.name + ".png")) && saved;
            }
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
