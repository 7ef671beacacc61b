// Every control of the three windows: its kind, its place, its text and its start state.

#include "HelpFile.h"
#include "WindowLook.h"
#include "WindowsFixture.h"
#include "platform/WebAddresses.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QUrl>

namespace zintrel::test {
namespace {

enum Window { Main, Settings, About };
enum class Check { None, Off, On };
constexpr int kAuto = -1; // a label that sizes itself to its text

struct ControlRow {
    Window window;
    const char* name;
    const char* className;
    const char* parent;
    QRect geometry; // width kAuto: at least as wide as the text
    const char* text;
    const char* hint;
    bool enabled;
    Check check;
};

// clang-format off
const ControlRow kControls[] = {
    {Main, "cmdSettings", "QToolButton", "Form1", {2, 1, 89, 55}, "", "Settings", true, Check::None},
    {Main, "cmdSave", "QToolButton", "Form1", {90, 1, 88, 55}, "", "Save", true, Check::None},
    {Main, "cmdHelp", "QToolButton", "Form1", {178, 1, 88, 55}, "", "Help", true, Check::None},
    {Main, "SpeedButton1", "QToolButton", "Form1", {266, 1, 88, 55}, "", "About", true, Check::None},
    {Main, "SpeedButton2", "QToolButton", "Form1", {354, 1, 88, 55}, "", nullptr, true, Check::None}, // see below
    {Main, "Panel1", "QFrame", "Form1", {-1, 56, 443, 3}, nullptr, "", true, Check::None},
    {Main, "DCB1", "QComboBox", "Form1", {8, 70, 225, 19}, nullptr, "", true, Check::None},
    {Main, "DO1", "QTreeView", "Form1", {8, 95, 226, 232}, nullptr, "", true, Check::None},
    {Main, "GroupBox1", "QGroupBox", "Form1", {240, 64, 193, 73}, "", "", true, Check::None},
    {Main, "chkInclude", "QCheckBox", "GroupBox1", {8, 16, 121, 17}, "Include subfolders", "", true, Check::On},
    {Main, "chkOpenAfter", "QCheckBox", "GroupBox1", {8, 40, 169, 17}, "Open TXT / PDF after creation", "", true, Check::On},
    {Main, "lblFile", "QLabel", "Form1", {240, 175, 240, 0}, "", "", true, Check::None},
    {Main, "FLB1", "QListView", "Form1", {240, 197, 193, 129}, nullptr, "", true, Check::None},
    {Main, "lblCurPath", "QLabel", "Form1", {7, 329, kAuto, 0}, "Current path:", "", true, Check::None},
    {Main, "lblPath", "QLabel", "Form1", {7, 345, 522, 0}, nullptr, nullptr, true, Check::None},

    {Settings, "GroupBox1", "QGroupBox", "frmOptions", {8, 8, 153, 321}, "Display Settings", "", true, Check::None},
    {Settings, "GroupBox2", "QGroupBox", "frmOptions", {176, 8, 241, 321}, "Filters", "", true, Check::None},
    {Settings, "GroupBox4", "QGroupBox", "frmOptions", {431, 8, 241, 321}, "PDF Settings", "", true, Check::None},
    {Settings, "GroupBox3", "QGroupBox", "GroupBox1", {16, 16, 121, 161}, "", "", true, Check::None},
    {Settings, "chkDisp1", "QCheckBox", "GroupBox3", {16, 16, 97, 17}, "Name", "", true, Check::On},
    {Settings, "chkDisp2", "QCheckBox", "GroupBox3", {16, 40, 97, 17}, "Size", "", true, Check::On},
    {Settings, "chkDisp3", "QCheckBox", "GroupBox3", {16, 64, 97, 17}, "Attributes", "", true, Check::On},
    {Settings, "chkDisp4", "QCheckBox", "GroupBox3", {16, 88, 97, 17}, "Date and Time", "", true, Check::On},
    {Settings, "chkDisp5", "QCheckBox", "GroupBox3", {16, 112, 97, 17}, "Path", "", true, Check::On},
    {Settings, "chkDisp6", "QCheckBox", "GroupBox3", {16, 136, 97, 17}, "Level", "", true, Check::On},
    {Settings, "Label6", "QLabel", "GroupBox1", {16, 193, kAuto, 0}, "Spaces between fields:", "", true, Check::None},
    {Settings, "SpinEdit3", "QSpinBox", "GroupBox1", {16, 209, 113, 22}, "2", "", true, Check::None},
    {Settings, "lblIndentSize", "QLabel", "GroupBox1", {17, 242, kAuto, 0}, "Indent size:", "", true, Check::None},
    {Settings, "SpinEdit2", "QSpinBox", "GroupBox1", {16, 257, 113, 22}, "3", "", true, Check::None},

    {Settings, "lblFileMask", "QLabel", "GroupBox2", {15, 16, kAuto, 0}, "Filename mask: (ex: *.txt)", "", true, Check::None},
    {Settings, "EditFileMask", "QLineEdit", "GroupBox2", {15, 32, 208, 21}, "", "", true, Check::None},
    {Settings, "cmd_images", "QToolButton", "GroupBox2", {15, 56, 52, 43}, "", nullptr, true, Check::None},
    {Settings, "cmd_sounds", "QToolButton", "GroupBox2", {67, 56, 52, 43}, "", nullptr, true, Check::None},
    {Settings, "cmd_movies", "QToolButton", "GroupBox2", {119, 56, 52, 43}, "", nullptr, true, Check::None},
    {Settings, "cmd_docs", "QToolButton", "GroupBox2", {171, 56, 52, 43}, "", nullptr, true, Check::None},
    {Settings, "GroupBox5", "QGroupBox", "GroupBox2", {10, 106, 220, 96}, "Exclude files with attributes:", "", true, Check::None},
    {Settings, "CheckBox1", "QCheckBox", "GroupBox5", {8, 23, 97, 17}, "Read Only", "", true, Check::Off},
    {Settings, "CheckBox2", "QCheckBox", "GroupBox5", {8, 47, 97, 17}, "Hidden", "", true, Check::Off},
    {Settings, "CheckBox3", "QCheckBox", "GroupBox5", {8, 71, 97, 17}, "System", "", true, Check::Off},
    {Settings, "CheckBox5", "QCheckBox", "GroupBox5", {80, 23, 65, 17}, "Directory", "", true, Check::Off},
    {Settings, "CheckBox6", "QCheckBox", "GroupBox5", {80, 47, 57, 17}, "Archive", "", true, Check::Off},
    {Settings, "CheckBox7", "QCheckBox", "GroupBox5", {80, 71, 57, 17}, "Any file", "", true, Check::Off},
    {Settings, "CheckBox4", "QCheckBox", "GroupBox5", {147, 23, 68, 17}, "Volume ID", "", true, Check::Off},
    {Settings, "chkSpecSize", "QCheckBox", "GroupBox2", {15, 210, 113, 17}, "Specify size (in Kb):", "", true, Check::Off},
    {Settings, "cmbLeastMost", "QComboBox", "GroupBox2", {71, 234, 65, 21}, "at least", "", false, Check::None},
    {Settings, "SpinEdit1", "QSpinBox", "frmOptions", {317, 241, 89, 22}, "0", "", false, Check::None},
    {Settings, "chkSpecDate", "QCheckBox", "GroupBox2", {15, 268, 82, 17}, "Specify date:", "", true, Check::Off},
    {Settings, "lblfrom", "QLabel", "GroupBox2", {108, 268, kAuto, 0}, "from", "", true, Check::None},
    {Settings, "DateTimePicker1", "QDateEdit", "GroupBox2", {143, 264, 89, 21}, nullptr, "", false, Check::None},
    {Settings, "lblto", "QLabel", "GroupBox2", {108, 293, kAuto, 0}, "to", "", true, Check::None},
    {Settings, "DateTimePicker2", "QDateEdit", "GroupBox2", {143, 288, 89, 21}, nullptr, "", false, Check::None},

    {Settings, "lblTitle", "QLabel", "GroupBox4", {36, 24, kAuto, 0}, "Title:", "", true, Check::None},
    {Settings, "editTitle", "QLineEdit", "GroupBox4", {80, 20, 145, 21}, "", "", true, Check::None},
    {Settings, "lblAuthor", "QLabel", "GroupBox4", {37, 48, kAuto, 0}, "Author:", "", true, Check::None},
    {Settings, "editAuthor", "QLineEdit", "GroupBox4", {80, 44, 145, 21}, "", "", true, Check::None},
    {Settings, "chkPass", "QCheckBox", "GroupBox4", {17, 68, 129, 17}, "Use PDF security", "", true, Check::Off},
    {Settings, "Label1", "QLabel", "GroupBox4", {41, 91, kAuto, 0}, "Password:", "", true, Check::None},
    {Settings, "EditPass", "QLineEdit", "GroupBox4", {105, 87, 121, 21}, "", "", false, Check::None},
    {Settings, "Label2", "QLabel", "GroupBox4", {41, 115, kAuto, 0}, "Confirm:", "", true, Check::None},
    {Settings, "EditPass2", "QLineEdit", "GroupBox4", {105, 111, 121, 21}, "", "", false, Check::None},
    {Settings, "lblDontAllow", "QLabel", "GroupBox4", {18, 137, kAuto, 0}, "Do not allow:", "", true, Check::None},
    {Settings, "chkAllowPrint", "QCheckBox", "GroupBox4", {104, 135, 129, 17}, "Print Document", "", true, Check::On},
    {Settings, "chkAllowChange", "QCheckBox", "GroupBox4", {104, 156, 129, 17}, "Change Document", "", true, Check::On},
    {Settings, "chkAllowCopy", "QCheckBox", "GroupBox4", {104, 176, 129, 17}, "Copy from Document", "", true, Check::On},
    {Settings, "GroupBox6", "QGroupBox", "GroupBox4", {17, 189, 209, 41}, "Orientation", "", true, Check::None},
    {Settings, "RadioButton1", "QRadioButton", "GroupBox6", {8, 16, 81, 17}, "Portrait", "", true, Check::Off},
    {Settings, "RadioButton2", "QRadioButton", "GroupBox6", {120, 16, 81, 17}, "Landscape", "", true, Check::On},
    {Settings, "lblColFold", "QLabel", "GroupBox4", {19, 233, kAuto, 0}, "Folder color:", "", true, Check::None},
    {Settings, "shFolder", "zintrel::ColorSwatch", "GroupBox4", {19, 249, 69, 17}, nullptr, "", true, Check::None},
    {Settings, "cmdSelColFold", "QPushButton", "GroupBox4", {85, 249, 17, 17}, "...", "", true, Check::None},
    {Settings, "lblColFile", "QLabel", "GroupBox4", {140, 233, kAuto, 0}, "File color:", "", true, Check::None},
    {Settings, "shFile", "zintrel::ColorSwatch", "GroupBox4", {140, 249, 69, 17}, nullptr, "", true, Check::None},
    {Settings, "cmdSelColFile", "QPushButton", "GroupBox4", {207, 249, 17, 17}, "...", "", true, Check::None},
    {Settings, "Label5", "QLabel", "GroupBox4", {17, 273, kAuto, 0}, "Display font and size:", "", true, Check::None},
    {Settings, "EditEx", "QLineEdit", "GroupBox4", {17, 289, 70, 21}, "Example", "", true, Check::None},
    {Settings, "cmdSelFont", "QPushButton", "GroupBox4", {85, 288, 17, 22}, "...", "", true, Check::None},

    {About, "Image1", "QLabel", "frmAbout", {77, 3, 246, 41}, nullptr, "", true, Check::None},
    {About, "Label1", "QLabel", "frmAbout", {156, 47, kAuto, 0}, "Zintrel v2.0", "", true, Check::None},
    {About, "Label2", "QLabel", "frmAbout", {123, 63, kAuto, 0}, nullptr, "", true, Check::None},
    {About, "Label3", "QLabel", "frmAbout", {152, 79, kAuto, 0}, nullptr, "", true, Check::None},
    {About, "Label4", "QLabel", "frmAbout", {38, 96, kAuto, 0}, "Website:", "", true, Check::None},
    {About, "Label6", "zintrel::LinkLabel", "frmAbout", {91, 96, kAuto, 0}, nullptr, "Click to open !", true, Check::None},
    {About, "Label5", "QLabel", "frmAbout", {38, 112, kAuto, 0}, "Support:", "", true, Check::None},
    {About, "Label8", "zintrel::LinkLabel", "frmAbout", {91, 112, kAuto, 0}, nullptr, "Click to open !", true, Check::None},
    {About, "cmdHelp", "QPushButton", "frmAbout", {32, 232, 75, 25}, "Help", "", true, Check::None},
    {About, "cmdOk", "QPushButton", "frmAbout", {288, 232, 75, 25}, "OK", "", true, Check::None},
};
// clang-format on

// The text as drawn, without the marks of mnemonics.
QString textOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return visibleCaption(button->text());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return visibleCaption(box->title());
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* spin = qobject_cast<QSpinBox*>(widget))
        return spin->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return {};
}

class ControlsTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        createWindows();
    }
    QWidget& window(Window which)
    {
        switch (which) {
        case Settings:
            return *frmOptions;
        case About:
            return *frmAbout;
        case Main:
            break;
        }
        return *Form1;
    }
};

TEST_F(ControlsTest, EveryControlHasItsKindPlaceTextAndStartState)
{
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        QWidget* widget = control<QWidget>(window(row.window), row.name);
        if (!widget)
            continue;
        EXPECT_TRUE(widget->inherits(row.className)) << widget->metaObject()->className();
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), row.parent);
        QRect actual = widget->geometry();
        EXPECT_EQ(actual.topLeft(), row.geometry.topLeft());
        if (row.geometry.height() > 0 && (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget))) {
            // A box may have grown to the right for its caption, but only into free space.
            EXPECT_EQ(actual.height(), row.geometry.height());
            EXPECT_GE(actual.width(), row.geometry.width());
            EXPECT_LE(actual.width() - row.geometry.width(), 8);
            QRect grown(row.geometry.right() + 1, actual.top(), actual.width() - row.geometry.width(), actual.height());
            EXPECT_LE(actual.right(), widget->parentWidget()->width() - 1);
            for (QWidget* sibling : widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (sibling != widget && !grown.isEmpty()) {
                    EXPECT_FALSE(grown.intersects(sibling->geometry())) << sibling->objectName().toStdString();
                }
            }
        } else if (row.geometry.height() > 0) {
            EXPECT_EQ(actual.size(), row.geometry.size());
        } else if (row.geometry.width() == kAuto) {
            EXPECT_GE(actual.width(), widget->fontMetrics().horizontalAdvance(textOf(widget)));
        } else {
            EXPECT_GE(actual.width(), row.geometry.width());
        }
        if (row.text) {
            EXPECT_EQ(textOf(widget).toStdString(), row.text);
        }
        if (row.hint) {
            EXPECT_EQ(widget->toolTip().toStdString(), row.hint);
        }
        EXPECT_EQ(widget->isEnabled(), row.enabled);
        if (row.check != Check::None) {
            auto* button = qobject_cast<QAbstractButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->isChecked(), row.check == Check::On);
        }
    }
}

// Until the product has a site, its addresses are sections of the installed help page.
TEST_F(ControlsTest, WebAddressesAreSectionsOfTheHelpPage)
{
    const QString program = helpPageAddress(kProgramSection);
    const QString support = helpPageAddress(kSupportSection);
    EXPECT_EQ(QUrl(program).toLocalFile(), helpFilePath());
    EXPECT_EQ(QUrl(program).fragment(), QStringLiteral("zintrel"));
    EXPECT_EQ(QUrl(support).fragment(), QStringLiteral("support"));
    EXPECT_EQ(control<QWidget>(*Form1, "SpeedButton2")->toolTip(), QStringLiteral("Visit ") + program);
    EXPECT_EQ(control<QLabel>(*frmAbout, "Label6")->text(), program);
    EXPECT_EQ(control<QLabel>(*frmAbout, "Label8")->text(), support);
    // The page has those sections.
    QFile page(QStringLiteral(ZINTREL_HELP_SOURCE));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains("id=\"zintrel\""));
    EXPECT_TRUE(html.contains("id=\"support\""));
}

TEST_F(ControlsTest, WindowsHaveTheirCaptionsFixedClientSizesAndBackground)
{
    struct Row {
        Window window;
        const char* name;
        const char* caption;
        QSize client;
    };
    const Row rows[] = {
        {Main, "Form1", "Zintrel", {442, 363}},
        {Settings, "frmOptions", "Settings", {678, 336}},
        {About, "frmAbout", "About Zintrel", {400, 273}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget& w = window(row.window);
        EXPECT_EQ(w.objectName().toStdString(), row.name);
        EXPECT_EQ(w.windowTitle().toStdString(), row.caption);
        EXPECT_EQ(w.size(), row.client);
        EXPECT_EQ(w.minimumSize(), row.client);
        // The main window may be made larger; the dialogs keep their size.
        if (row.window == Main)
            EXPECT_GT(w.maximumSize().width(), row.client.width());
        else
            EXPECT_EQ(w.maximumSize(), row.client);
        EXPECT_EQ(w.palette().color(QPalette::Window), QColor(216, 228, 248));
        EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(w.font().family().toStdString(), "MS Sans Serif");
        EXPECT_EQ(w.font().pointSize(), 8);
        EXPECT_FALSE(w.isVisible());
    }
}

TEST_F(ControlsTest, NoCaptionIsCutOff)
{
    for (Window which : {Main, Settings, About}) {
        for (QWidget* widget : window(which).findChildren<QWidget*>()) {
            QString text = textOf(widget);
            if (text.isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")))
                continue;
            SCOPED_TRACE(widget->objectName().toStdString());
            int needed = 0;
            if (auto* button = qobject_cast<QAbstractButton*>(widget);
                qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
                // The caption is drawn in the part right of the indicator.
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = text;
                QStyle::SubElement element = qobject_cast<QCheckBox*>(widget) ? QStyle::SE_CheckBoxContents
                                                                              : QStyle::SE_RadioButtonContents;
                QRect label = widget->style()->subElementRect(element, &option, widget);
                needed = widget->fontMetrics().horizontalAdvance(text) + (widget->width() - label.width());
            } else if (qobject_cast<QPushButton*>(widget))
                needed = widget->fontMetrics().horizontalAdvance(text) + 4;
            else if (qobject_cast<QLabel*>(widget))
                needed = widget->fontMetrics().horizontalAdvance(text);
            else if (qobject_cast<QGroupBox*>(widget))
                needed = widget->fontMetrics().horizontalAdvance(text) + 16;
            else
                continue;
            EXPECT_LE(needed, widget->width()) << text.toStdString();
            // Nothing may stick out of its container either.
            if (QWidget* parent = widget->parentWidget();
                parent && !widget->isWindow() && widget->objectName() != QLatin1String("lblPath")) {
                EXPECT_LE(widget->geometry().right(), parent->width() - 1) << text.toStdString();
            }
        }
    }
}

// Check boxes and radio buttons side by side: a caption ends well before the next box.
TEST_F(ControlsTest, CaptionsKeepClearOfTheNextBox)
{
    constexpr int kClearance = 3;
    int pairs = 0;
    for (Window which : {Main, Settings, About}) {
        QList<QAbstractButton*> boxes;
        for (QAbstractButton* button : window(which).findChildren<QAbstractButton*>()) {
            if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button))
                boxes << button;
        }
        for (QAbstractButton* left : boxes) {
            QStyleOptionButton option;
            option.initFrom(left);
            option.text = left->text();
            QStyle::SubElement element = qobject_cast<QCheckBox*>(left) ? QStyle::SE_CheckBoxContents
                                                                        : QStyle::SE_RadioButtonContents;
            QRect label = left->style()->subElementRect(element, &option, left);
            int captionEnd = left->x() + label.left() + left->fontMetrics().horizontalAdvance(textOf(left));
            for (QAbstractButton* right : boxes) {
                if (right == left || right->parentWidget() != left->parentWidget() || right->x() <= left->x()
                    || right->y() != left->y() || right->x() > left->geometry().right())
                    continue;
                ++pairs;
                EXPECT_LE(captionEnd + kClearance, right->x())
                    << left->objectName().toStdString() << " runs into " << right->objectName().toStdString();
            }
        }
    }
    EXPECT_GE(pairs, 2); // Read Only and Directory, Hidden and Archive, ...
}

TEST_F(ControlsTest, TabOrderFollowsTheLayout)
{
    struct Row {
        Window window;
        std::vector<std::string> order;
    };
    const Row rows[] = {
        {Main,
         {"cmdSettings", "cmdSave", "cmdHelp", "SpeedButton1", "SpeedButton2", "DCB1", "DO1", "chkInclude",
          "chkOpenAfter", "FLB1"}},
        {About, {"cmdOk", "cmdHelp"}},
        {Settings,
         {"chkDisp1",        "chkDisp2",       "chkDisp3",     "chkDisp4",     "chkDisp5",     "chkDisp6",
          "SpinEdit3",       "SpinEdit2",      "EditFileMask", "cmd_images",   "cmd_sounds",   "cmd_movies",
          "cmd_docs",        "CheckBox1",      "CheckBox2",    "CheckBox3",    "CheckBox5",    "CheckBox6",
          "CheckBox7",       "CheckBox4",      "chkSpecSize",  "cmbLeastMost", "chkSpecDate",  "DateTimePicker1",
          "DateTimePicker2", "editTitle",      "editAuthor",   "chkPass",      "EditPass",     "EditPass2",
          "chkAllowPrint",   "chkAllowChange", "chkAllowCopy", "RadioButton1", "RadioButton2", "cmdSelColFold",
          "cmdSelColFile",   "EditEx",         "cmdSelFont",   "SpinEdit1"}},
    };
    for (const Row& row : rows) {
        QWidget& w = window(row.window);
        std::vector<std::string> chain;
        for (QWidget* next = w.nextInFocusChain(); next && next != &w; next = next->nextInFocusChain()) {
            if ((next->focusPolicy() & Qt::TabFocus) && !next->objectName().startsWith(QLatin1String("qt_"))
                && next->parentWidget() && next->window() == &w)
                chain.push_back(next->objectName().toStdString());
        }
        EXPECT_EQ(chain, row.order) << w.objectName().toStdString();
    }
}

} // namespace
} // namespace zintrel::test
