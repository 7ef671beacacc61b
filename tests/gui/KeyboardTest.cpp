// The windows without a mouse: Tab and Space reach and press every button, the shortcuts,
// Enter and Escape in the dialogs, and the mnemonics of the settings dialog.

#include "HelpFile.h"
#include "WindowLook.h"
#include "WindowsFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <map>

namespace zintrel::test {
namespace {

class KeyboardTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        createWindows();
    }
    void TearDown() override
    {
        frmOptions->hide();
        frmAbout->hide();
        Form1->hide();
        WindowsFixture::TearDown();
    }
    // Shows a window and makes it the one that takes the keys.
    void activate(QWidget& window)
    {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    std::vector<QWidget*> windows() { return {Form1.get(), frmOptions.get(), frmAbout.get()}; }
};

// Tab stops at every button, and each one a screen reader can name: by its caption, or by
// its hint for a picture.
TEST_F(KeyboardTest, EveryButtonTakesTheFocusAndHasAName)
{
    for (QWidget* window : windows()) {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->objectName().isEmpty() || button->objectName().startsWith(QLatin1String("qt_")))
                continue;
            SCOPED_TRACE(button->objectName().toStdString());
            EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
            if (auto* picture = qobject_cast<QToolButton*>(button)) {
                EXPECT_FALSE(picture->toolTip().isEmpty());
                EXPECT_EQ(picture->accessibleName(), picture->toolTip());
            } else if (visibleCaption(button->text()) == QLatin1String("...")) {
                EXPECT_FALSE(button->accessibleName().isEmpty());
            } else {
                EXPECT_FALSE(visibleCaption(button->text()).isEmpty());
            }
        }
    }
}

// From the first button, Tab walks the button row, and Space presses the button it is on.
TEST_F(KeyboardTest, TabAndSpacePressThePictureButtons)
{
    activate(*Form1);
    struct Row {
        int tabs;
        const char* button;
        std::function<bool()> done;
    };
    const Row rows[] = {
        {0, "cmdSettings", [&] { return frmOptions->isVisible(); }},
        {1, "cmdSave", [&] { return dialogs.saveDialogRuns == 1; }},
        {2, "cmdHelp", [&] { return shell.opened.size() == 1 && shell.opened[0] == helpFilePath(); }},
        {3, "SpeedButton1", [&] { return frmAbout->isVisible(); }},
        {4, "SpeedButton2",
         [&] { return shell.opened.size() == 1 && shell.opened[0].startsWith(QLatin1String("file://")); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        shell.opened.clear();
        control<QWidget>(*Form1, "cmdSettings")->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < row.tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), control<QWidget>(*Form1, row.button));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(row.done());
        frmOptions->close();
        frmAbout->close();
        activate(*Form1);
    }
    // The preset buttons of the settings dialog, after the mask.
    activate(*frmOptions);
    auto* mask = control<QLineEdit>(*frmOptions, "EditFileMask");
    mask->setFocus(Qt::TabFocusReason);
    QTest::keyClick(mask, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), control<QWidget>(*frmOptions, "cmd_images"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), control<QWidget>(*frmOptions, "cmd_movies"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(mask->text(), QStringLiteral("*.mpeg; *.mpg; *.m1v; *.mpa; *.mpe; *.avi; *.dat; *.mov"));
}

// The shortcuts of the main window, and F1 in the dialogs.
TEST_F(KeyboardTest, ShortcutsDoWhatTheButtonsDo)
{
    struct Row {
        const char* what;
        std::function<void()> press;
        std::function<bool()> done;
    };
    const Row rows[] = {
        {"Ctrl+S saves", [&] { QTest::keyClick(Form1.get(), Qt::Key_S, Qt::ControlModifier); },
         [&] { return dialogs.saveDialogRuns == 1; }},
        {"Ctrl+, opens the settings", [&] { QTest::keyClick(Form1.get(), Qt::Key_Comma, Qt::ControlModifier); },
         [&] { return frmOptions->isVisible() && !Form1->isEnabled(); }},
        {"F1 opens help", [&] { QTest::keyClick(Form1.get(), Qt::Key_F1); },
         [&] { return shell.opened == QStringList{helpFilePath()}; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        activate(*Form1);
        shell.opened.clear();
        row.press();
        EXPECT_TRUE(row.done());
        frmOptions->close();
    }
    // F1 in either dialog opens the help page too.
    for (QWidget* dialog : {static_cast<QWidget*>(frmOptions.get()), static_cast<QWidget*>(frmAbout.get())}) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        activate(*dialog);
        shell.opened.clear();
        QTest::keyClick(dialog, Qt::Key_F1);
        EXPECT_EQ(shell.opened, QStringList{helpFilePath()});
        dialog->close();
    }
    // A disabled main window takes no shortcut; an enabled one quits on Ctrl+Q.
    activate(*Form1);
    Form1->setEnabled(false);
    QTest::keyClick(Form1.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.saveDialogRuns, 1);
    Form1->setEnabled(true);
    activate(*Form1);
    QTest::keyClick(Form1.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(Form1->isVisible());
}

// Enter and Escape close both dialogs and give the main window back; in the About dialog
// Enter is OK.
TEST_F(KeyboardTest, EnterAndEscapeCloseTheDialogs)
{
    struct Row {
        const char* opener;
        QWidget* dialog;
        const char* focus; // where the keys are pressed
        Qt::Key key;
    };
    const Row rows[] = {
        {"cmdSettings", frmOptions.get(), "EditFileMask", Qt::Key_Return},
        {"cmdSettings", frmOptions.get(), "SpinEdit3", Qt::Key_Enter},
        {"cmdSettings", frmOptions.get(), "chkDisp1", Qt::Key_Escape},
        {"cmdSettings", frmOptions.get(), "cmdSelFont", Qt::Key_Return},
        {"SpeedButton1", frmAbout.get(), "cmdOk", Qt::Key_Return},
        {"SpeedButton1", frmAbout.get(), "cmdOk", Qt::Key_Escape},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.opener) + " " + row.focus + " " + QKeySequence(row.key).toString().toStdString());
        activate(*Form1);
        QTest::mouseClick(control<QToolButton>(*Form1, row.opener), Qt::LeftButton);
        ASSERT_TRUE(row.dialog->isVisible());
        activate(*row.dialog);
        QWidget* target = control<QWidget>(*row.dialog, row.focus);
        target->setFocus();
        QTest::keyClick(target, row.key);
        EXPECT_FALSE(row.dialog->isVisible());
        EXPECT_TRUE(Form1->isEnabled());
    }
    // Enter on the font button closed the dialog without opening the font dialog.
    EXPECT_TRUE(dialogs.fontDialogOpenedOn.isEmpty());
}

// Alt and a letter tick a check box of the settings dialog or go into a group box; each
// letter stands once in the dialog.
TEST_F(KeyboardTest, SettingsMnemonicsAreUniqueAndWork)
{
    std::map<QChar, QString> letters;
    auto letterOf = [](const QString& caption) {
        qsizetype at = caption.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < caption.size() ? caption[at + 1].toUpper() : QChar();
    };
    int marked = 0;
    for (QCheckBox* box : frmOptions->findChildren<QCheckBox*>()) {
        QChar letter = letterOf(box->text());
        if (letter.isNull())
            continue;
        ++marked;
        EXPECT_TRUE(letters.emplace(letter, box->objectName()).second)
            << "&" << QString(letter).toStdString() << ": " << box->objectName().toStdString() << " and "
            << letters[letter].toStdString();
    }
    for (QGroupBox* group : frmOptions->findChildren<QGroupBox*>()) {
        QChar letter = letterOf(group->title());
        if (letter.isNull())
            continue;
        ++marked;
        EXPECT_TRUE(letters.emplace(letter, group->objectName()).second)
            << "&" << QString(letter).toStdString() << ": " << group->objectName().toStdString() << " and "
            << letters[letter].toStdString();
    }
    EXPECT_EQ(marked, 23); // every check box and every captioned group but one

    activate(*frmOptions);
    QTest::keyClick(frmOptions.get(), Qt::Key_F, Qt::AltModifier); // into "Filters": the mask
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>(*frmOptions, "EditFileMask"));
    // A mnemonic presses its check box as a click does, after the button's short animation.
    auto* readOnly = control<QCheckBox>(*frmOptions, "CheckBox1");
    QTest::keyClick(frmOptions.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return readOnly->isChecked(); }, 2000));
    QTest::keyClick(frmOptions.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !readOnly->isChecked(); }, 2000));
    QTest::keyClick(frmOptions.get(), Qt::Key_U, Qt::AltModifier); // "Use PDF security"
    auto* password = control<QWidget>(*frmOptions, "EditPass");
    EXPECT_TRUE(QTest::qWaitFor([&] { return password->isEnabled(); }, 2000));
}

} // namespace
} // namespace zintrel::test
