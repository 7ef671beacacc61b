#pragma once

#include "Fakes.h"
#include "TForm1.h"
#include "TfrmAbout.h"
#include "TfrmOptions.h"
#include "pdf/ListingPdfOutput.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace zintrel::test {

// The three windows as the program creates them, started in a fresh temporary folder, with
// faked dialogs and shell. After each test no top-level window may be left over.
class WindowsFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the windows; tests may prepare the start folder first. folder: the folder the
    // main window is given to start on.
    void createWindows(const QByteArray& folder = {});

    template <class T> T* control(QWidget& window, const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no " << name << " in " << window.objectName().toStdString();
        return found;
    }

    QString startFolder() const { return m_startDir->path(); }

    FakeDialogs dialogs;
    FakeShell shell;
    ListingPdfMaker pdfOutput;
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TfrmOptions> frmOptions;
    std::unique_ptr<TfrmAbout> frmAbout;

private:
    std::unique_ptr<QTemporaryDir> m_startDir;
    QString m_previousDir;
};

} // namespace zintrel::test
