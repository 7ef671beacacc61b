#include "WindowLook.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv)
{
    // Before the application exists: no test may need a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_TIME, "C");
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    zintrel::registerFontSubstitutes();
    QApplication::setFont(QFont(QString::fromLatin1(zintrel::kWindowFontFace), zintrel::kWindowFontPoints));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
