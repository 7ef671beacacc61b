// The windows on every desktop: a dark colour scheme, and screens too small for them.

#include "WindowLook.h"
#include "WindowsFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolTip>
#include <QTreeView>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace zintrel::test {
namespace {

// The contrast ratio of two colours as the web's accessibility guidelines reckon it.
double luminance(const QColor& color)
{
    auto channel
        = [](double value) { return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    double la = luminance(a);
    double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark scheme like qt6ct's "darker": near-white text on dark grounds.
QPalette darkPalette()
{
    QPalette dark(QColor(0xff, 0xff, 0xff), QColor(0x42, 0x42, 0x45), QColor(0x97, 0x97, 0x97),
                  QColor(0x30, 0x2f, 0x2e), QColor(0x4a, 0x49, 0x47), QColor(0xff, 0xff, 0xff),
                  QColor(0xff, 0xff, 0xff), QColor(0x3d, 0x3d, 0x3d), QColor(0x22, 0x20, 0x20));
    dark.setColor(QPalette::Highlight, QColor(0x12, 0x60, 0x8a));
    dark.setColor(QPalette::HighlightedText, QColor(0xf9, 0xf9, 0xf9));
    dark.setColor(QPalette::ToolTipBase, QColor(0x3f, 0x3f, 0x36));
    dark.setColor(QPalette::ToolTipText, QColor(0xff, 0xff, 0xff));
    dark.setColor(QPalette::AlternateBase, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return dark;
}

// Text roles on the grounds they are drawn on. Each ground must be light and its text must
// read on it: enabled text well (4.5, the guidelines' bar for body text), disabled text
// visibly fainter yet still darker than its ground.
struct Pair {
    QPalette::ColorRole text;
    QPalette::ColorRole ground;
};
constexpr Pair kPairs[] = {
    {QPalette::WindowText, QPalette::Window},         {QPalette::Text, QPalette::Base},
    {QPalette::Text, QPalette::AlternateBase},        {QPalette::ButtonText, QPalette::Button},
    {QPalette::HighlightedText, QPalette::Highlight}, {QPalette::ToolTipText, QPalette::ToolTipBase},
};

::testing::AssertionResult readsLight(const QPalette& palette)
{
    for (const Pair& pair : kPairs) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QColor text = palette.color(group, pair.text);
            QColor ground = palette.color(group, pair.ground);
            double ratio = contrast(text, ground);
            bool groundLight = pair.ground == QPalette::Highlight || ground.lightness() >= 200;
            bool highlight = pair.ground == QPalette::Highlight;
            // Selected rows meet the guidelines' bar for large text and controls (Qt's own
            // light highlight, which the windows keep, stands at 3.7).
            double bar = highlight ? 3.0 : 4.5;
            bool reads = group == QPalette::Disabled
                ? ratio >= 1.4 && (highlight || luminance(text) < luminance(ground))
                : ratio >= bar;
            if (!groundLight || !reads)
                return ::testing::AssertionFailure()
                    << "group " << group << ": text role " << pair.text << " " << text.name().toStdString()
                    << " on role " << pair.ground << " " << ground.name().toStdString() << ", contrast " << ratio;
        }
    }
    return ::testing::AssertionSuccess();
}

class DarkDesktopTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        m_before = QApplication::palette();
        m_tipsBefore = QToolTip::palette();
        QApplication::setPalette(darkPalette());
        QToolTip::setPalette(darkPalette());
        WindowsFixture::SetUp();
    }
    void TearDown() override
    {
        WindowsFixture::TearDown();
        QApplication::setPalette(m_before);
        QToolTip::setPalette(m_tipsBefore);
    }

private:
    QPalette m_before;
    QPalette m_tipsBefore;
};

// With a dark desktop scheme in force before they are made, the windows and every control
// in them read dark on light, on the windows' own background.
TEST_F(DarkDesktopTest, EveryControlOfTheWindowsReadsDarkOnLight)
{
    ASSERT_FALSE(readsLight(QApplication::palette())); // the scheme is dark indeed
    createWindows();
    for (QWidget* window : {static_cast<QWidget*>(Form1.get()), static_cast<QWidget*>(frmOptions.get()),
                            static_cast<QWidget*>(frmAbout.get())}) {
        SCOPED_TRACE(window->objectName().toStdString());
        EXPECT_EQ(window->palette().color(QPalette::Window), kWindowBackground);
        EXPECT_TRUE(readsLight(window->palette()));
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            SCOPED_TRACE(widget->objectName().toStdString() + " " + widget->metaObject()->className());
            EXPECT_TRUE(readsLight(widget->palette()));
            // Text drawn on the window's background takes the window's colour.
            EXPECT_GE(widget->palette().color(QPalette::Window).lightness(), 200);
        }
    }
    // The tree and the file list keep the light base of lists.
    EXPECT_EQ(control<QTreeView>(*Form1, "DO1")->palette().color(QPalette::Base), QColor(Qt::white));
}

// What Qt draws outside the windows' own palettes takes the light one at start too: message
// boxes and file dialogs, drop-down lists and calendars, hints.
TEST_F(DarkDesktopTest, DialogsPopupsAndHintsReadDarkOnLight)
{
    createWindows();
    EXPECT_TRUE(readsLight(QApplication::palette()));
    EXPECT_TRUE(readsLight(QToolTip::palette()));
    QMessageBox box(QMessageBox::Information, QStringLiteral("Zintrel"), QStringLiteral("text"), QMessageBox::Ok,
                    Form1.get());
    EXPECT_TRUE(readsLight(box.palette()));
    auto* picker = control<QDateEdit>(*frmOptions, "DateTimePicker1");
    ASSERT_NE(picker->calendarWidget(), nullptr);
    EXPECT_TRUE(readsLight(picker->calendarWidget()->palette()));
    EXPECT_TRUE(readsLight(picker->calendarWidget()->window()->palette()));
    auto* volumes = control<QComboBox>(*Form1, "DCB1");
    EXPECT_TRUE(readsLight(volumes->view()->palette()));
    EXPECT_TRUE(readsLight(volumes->view()->window()->palette()));
}

// A desktop theme that sets the application's font once the windows are made (as qt6ct
// does) changes no control's font.
TEST_F(DarkDesktopTest, AFontTheDesktopSetsLaterChangesNoControl)
{
    createWindows();
    // Read without polishing first: the controls that show for the first time meet the new
    // font when they are polished.
    auto fonts = [&](bool polish) {
        std::map<std::string, QString> found;
        for (QWidget* window : {static_cast<QWidget*>(Form1.get()), static_cast<QWidget*>(frmOptions.get()),
                                static_cast<QWidget*>(frmAbout.get())}) {
            for (QWidget* widget : window->findChildren<QWidget*>()) {
                if (polish)
                    widget->ensurePolished();
                if (!widget->objectName().isEmpty())
                    found[window->objectName().toStdString() + "." + widget->objectName().toStdString()]
                        = widget->font().toString();
            }
        }
        return found;
    };
    const std::map<std::string, QString> before = fonts(false);
    EXPECT_EQ(before.at("frmOptions.chkDisp1"), QFont(QStringLiteral("MS Sans Serif"), 8).toString());
    const QFont appFont = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 13));
    const std::map<std::string, QString> after = fonts(true);
    QApplication::setFont(appFont);
    for (const auto& [name, font] : before) {
        EXPECT_EQ(after.at(name).toStdString(), font.toStdString()) << name;
    }
}

// The controls of a window, by name, in the order Tab visits them.
std::vector<std::string> focusChain(QWidget& window)
{
    std::vector<std::string> chain;
    for (QWidget* next = window.nextInFocusChain(); next && next != &window; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && !next->objectName().startsWith(QLatin1String("qt_"))
            && next->window() == &window)
            chain.push_back(next->objectName().toStdString());
    }
    return chain;
}

// Every named control, with its place relative to the window.
std::map<std::string, QRect> places(QWidget& window)
{
    std::map<std::string, QRect> found;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_"))
            && widget->objectName() != QLatin1String("scrollArea")
            && !widget->objectName().endsWith(QLatin1String("Content")))
            found[widget->objectName().toStdString()] = QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
    }
    return found;
}

class ScreenFitTest : public WindowsFixture {
protected:
    std::vector<QWidget*> windows() { return {Form1.get(), frmOptions.get(), frmAbout.get()}; }

    // The scroll bars bring every named control of a window into sight: all of it, or as much
    // as the window holds.
    ::testing::AssertionResult everyControlReachable(QWidget& window)
    {
        auto* area = window.findChild<QScrollArea*>(QStringLiteral("scrollArea"));
        if (!area)
            return ::testing::AssertionFailure() << "no scroll area";
        QWidget* content = area->widget();
        QWidget* viewport = area->viewport();
        for (QWidget* widget : content->findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_"))
                || !widget->isVisibleTo(&window))
                continue;
            QPoint at = widget->mapTo(content, QPoint(0, 0));
            area->horizontalScrollBar()->setValue(at.x());
            area->verticalScrollBar()->setValue(at.y());
            // Labels as wide as their text may reach past the window's edge, as they do unscrolled.
            QRect shown = QRect(widget->mapTo(viewport, QPoint(0, 0)), widget->size())
                              .intersected(QRect(content->mapTo(viewport, QPoint(0, 0)), content->size()));
            QRect visible = shown.intersected(viewport->rect());
            if (visible.width() < std::min(shown.width(), viewport->width())
                || visible.height() < std::min(shown.height(), viewport->height()))
                return ::testing::AssertionFailure()
                    << widget->objectName().toStdString() << " stays out of sight: at " << shown.x() << "," << shown.y()
                    << " " << shown.width() << "x" << shown.height() << " in " << viewport->width() << "x"
                    << viewport->height();
        }
        return ::testing::AssertionSuccess();
    }
};

// Shrunk to a screen smaller than itself, a window scrolls: every control in it can be
// reached, by the scroll bars and by Tab in the same order as before, and at its places.
TEST_F(ScreenFitTest, AWindowLargerThanTheScreenScrolls)
{
    createWindows();
    const QSize small(360, 240);
    for (QWidget* window : windows()) {
        SCOPED_TRACE(window->objectName().toStdString());
        const std::vector<std::string> chain = focusChain(*window);
        const std::map<std::string, QRect> before = places(*window);
        const QSize design = window->size();
        QWidget& holder = fitOnScreen(*window, small);
        ASSERT_NE(&holder, window);
        (void)window->grab(); // lays the scroll area out as showing it would
        EXPECT_LE(window->width(), small.width());
        EXPECT_LE(window->height(), small.height());
        EXPECT_EQ(holder.size(), design);
        EXPECT_EQ(focusChain(*window), chain);
        EXPECT_TRUE(everyControlReachable(*window));
        // Scrolled back to the start, every control stands where it stood.
        auto* area = window->findChild<QScrollArea*>(QStringLiteral("scrollArea"));
        area->horizontalScrollBar()->setValue(0);
        area->verticalScrollBar()->setValue(0);
        EXPECT_EQ(places(*window), before);
        // Its background stays the windows' own, where no control stands.
        QImage drawn = window->grab().toImage();
        const QPoint empty = window == Form1.get() ? QPoint(3, 62) : QPoint(3, 3);
        EXPECT_EQ(QColor(drawn.pixel(empty * drawn.devicePixelRatio())), kWindowBackground);
    }
}

// A window that fits is left exactly as it was.
TEST_F(ScreenFitTest, AWindowThatFitsIsLeftAsItIs)
{
    createWindows();
    for (QWidget* window : windows()) {
        SCOPED_TRACE(window->objectName().toStdString());
        const std::map<std::string, QRect> before = places(*window);
        const QSize size = window->size();
        EXPECT_EQ(&fitOnScreen(*window, size), window);
        EXPECT_EQ(window->size(), size);
        EXPECT_EQ(window->findChild<QScrollArea*>(), nullptr);
        EXPECT_EQ(places(*window), before);
    }
}

// At whatever scale the tests run (the suite runs these at 1, 1.5 and 2 on an 800 x 600
// screen): each window fits the screen's available area, and every control is reachable.
TEST_F(ScreenFitTest, EachWindowFitsTheScreenItStartsOn)
{
    createWindows();
    const QSize room = availableClientSize();
    ASSERT_FALSE(room.isEmpty());
    const std::pair<QWidget*, QSize> rows[]
        = {{Form1.get(), {442, 363}}, {frmOptions.get(), {678, 336}}, {frmAbout.get(), {400, 273}}};
    for (const auto& [window, design] : rows) {
        SCOPED_TRACE(window->objectName().toStdString() + " at scale "
                     + std::to_string(QGuiApplication::primaryScreen()->devicePixelRatio()));
        const bool fits = design.width() <= room.width() && design.height() <= room.height();
        if (fits) {
            EXPECT_EQ(window->size(), design);
            EXPECT_EQ(window->findChild<QScrollArea*>(), nullptr);
        } else {
            EXPECT_LE(window->width(), room.width());
            EXPECT_LE(window->height(), room.height());
            EXPECT_TRUE(everyControlReachable(*window));
        }
    }
}

} // namespace
} // namespace zintrel::test
