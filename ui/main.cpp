// Zintrel: writes a listing of a folder tree as a text file or a PDF.

#include "Resources.h"
#include "TForm1.h"
#include "TfrmAbout.h"
#include "TfrmOptions.h"
#include "UserDialogs.h"
#include "WindowLook.h"
#include "pdf/ListingPdfOutput.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStyleFactory>

#include <clocale>

using namespace zintrel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt takes the whole locale from the environment; dates in listings follow the user's
    // LC_TIME, while numbers stay in the classic form whatever LC_NUMERIC says.
    std::setlocale(LC_TIME, "");
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Zintrel"));
    QApplication::setDesktopFileName(QStringLiteral("zintrel"));
    loadResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zintrel.svg")));
    // One look on every desktop: the windows are laid out to the pixel.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    registerFontSubstitutes();
    QApplication::setFont(QFont(QString::fromLatin1(kWindowFontFace), kWindowFontPoints));

    WidgetDialogs dialogs;
    DesktopShellOpen shell;
    ListingPdfMaker pdfOutput;
    TForm1 Form1(dialogs, shell, &pdfOutput);
    TfrmOptions frmOptions(Form1, dialogs);
    TfrmAbout frmAbout(Form1, shell);
    Form1.attachDialogs(frmOptions, frmAbout);
    Form1.show();
    return app.exec();
}
