#include "WindowsFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <filesystem>

namespace zintrel::test {

void WindowsFixture::SetUp()
{
    m_previousDir = QDir::currentPath();
    m_startDir = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(m_startDir->isValid());
    // Canonical, so the folder the tree selects compares equal to it.
    QDir::setCurrent(QDir(m_startDir->path()).canonicalPath());
}

void WindowsFixture::createWindows(const QByteArray& folder)
{
    Form1 = std::make_unique<TForm1>(dialogs, shell, &pdfOutput, folder);
    frmOptions = std::make_unique<TfrmOptions>(*Form1, dialogs);
    frmAbout = std::make_unique<TfrmAbout>(*Form1, shell);
    Form1->attachDialogs(*frmOptions, *frmAbout);
}

void WindowsFixture::TearDown()
{
    frmAbout.reset();
    frmOptions.reset();
    Form1.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList leftOver;
    for (QWidget* widget : QApplication::topLevelWidgets())
        leftOver << QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') + widget->objectName();
    EXPECT_TRUE(leftOver.isEmpty()) << leftOver.join(QStringLiteral(", ")).toStdString();
    QDir::setCurrent(m_previousDir);
    // Byte for byte: QDir cannot remove names that are not valid UTF-8.
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(m_startDir->path()).toStdString(), ignored);
    m_startDir.reset();
}

} // namespace zintrel::test
