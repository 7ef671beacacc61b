#include "WindowLook.h"

#include "pdf/FontSubstitutes.h"
#include "platform/Rounding.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

namespace zintrel {

namespace {

// The colours of Qt's own light scheme, which the layouts and pictures were drawn against.
struct PaletteRow {
    QPalette::ColorRole role;
    QRgb normal; // active and inactive
    QRgb disabled;
};
constexpr PaletteRow kLightPalette[] = {
    {QPalette::WindowText, 0xff000000, 0xffbebebe},
    {QPalette::Button, 0xffefefef, 0xffefefef},
    {QPalette::Light, 0xffffffff, 0xffffffff},
    {QPalette::Midlight, 0xffcacaca, 0xffcacaca},
    {QPalette::Dark, 0xff9f9f9f, 0xffbebebe},
    {QPalette::Mid, 0xffb8b8b8, 0xffb8b8b8},
    {QPalette::Text, 0xff000000, 0xffbebebe},
    {QPalette::BrightText, 0xffffffff, 0xffffffff},
    {QPalette::ButtonText, 0xff000000, 0xffbebebe},
    {QPalette::Base, 0xffffffff, 0xffefefef},
    {QPalette::Window, 0xffefefef, 0xffefefef},
    {QPalette::Shadow, 0xff767676, 0xffb1b1b1},
    {QPalette::Highlight, 0xff308cc6, 0xff919191},
    {QPalette::HighlightedText, 0xffffffff, 0xffffffff},
    {QPalette::Link, 0xff0000ff, 0xff0000ff},
    {QPalette::LinkVisited, 0xffff00ff, 0xffff00ff},
    {QPalette::AlternateBase, 0xfff7f7f7, 0xfff7f7f7},
    {QPalette::NoRole, 0xff000000, 0xff000000},
    {QPalette::ToolTipBase, 0xffffffdc, 0xffffffdc},
    {QPalette::ToolTipText, 0xff000000, 0xff000000},
    {QPalette::PlaceholderText, 0x80000000, 0x80000000},
};

// Room for a window manager's title bar and borders, which are not known before the window
// is first shown.
const QSize kFrameAllowance{16, 40};

} // namespace

QPalette lightPalette()
{
    QPalette palette;
    for (const PaletteRow& row : kLightPalette) {
        QColor normal = QColor::fromRgba(row.normal);
        palette.setColor(QPalette::Active, row.role, normal);
        palette.setColor(QPalette::Inactive, row.role, normal);
        palette.setColor(QPalette::Disabled, row.role, QColor::fromRgba(row.disabled));
    }
    return palette;
}

void useLightPalette()
{
    QApplication::setPalette(lightPalette());
    QToolTip::setPalette(lightPalette());
}

QPoint centredPosition(QSize screenSize, QSize outerSize)
{
    int left = static_cast<int>(roundHalfEven((screenSize.width() - outerSize.width()) / 2.0));
    int top = static_cast<int>(roundHalfEven((screenSize.height() - outerSize.height()) / 2.0));
    return {left, top};
}

void centreOnScreen(QWidget& window)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is known only once the window system has one; before that, the client size
    // stands in for the outer size and the window manager adds its decoration around it.
    QSize outer = window.frameGeometry().size();
    if (outer.isEmpty())
        outer = window.size();
    QPoint corner = centredPosition(screen->geometry().size(), outer);
    QPoint origin = screen->geometry().topLeft();
    window.move(origin.x() + corner.x(), window.y());
    window.move(window.x(), origin.y() + corner.y());
}

void applyWindowBackground(QWidget& window, const QString& extraRules)
{
    // The style sheet below gives every control in the window the application's palette,
    // not the window's: under a dark desktop scheme that would be light text on the light
    // background. So the light palette becomes the application's too.
    useLightPalette();
    QPalette palette = lightPalette();
    palette.setColor(QPalette::Window, kWindowBackground);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    // Group boxes draw their frame through the middle of the caption line, the caption on the
    // window's background over it, as the layouts expect; captionless boxes keep that offset.
    window.setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid rgb(150, 168, 196); border-radius: 3px;"
                                        " margin-top: 6px; }"
                                        "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 1px;"
                                        " background-color: %1; }")
                             .arg(kWindowBackground.name())
                         + extraRules);
}

namespace {

// Every window holds its font itself rather than taking the application's: a desktop theme
// may set the application's font after the windows are made (qt6ct does), and controls that
// the style sheet polishes then would take it, others not.
void holdWindowFont(QWidget& window) { window.setFont(QFont(QString::fromLatin1(kWindowFontFace), kWindowFontPoints)); }

} // namespace

void makeFixedDialogFrame(QWidget& window, QSize clientSize)
{
    holdWindowFont(window);
    Qt::WindowFlags flags = (window.windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    window.setWindowFlags(flags);
    window.setFixedSize(clientSize);
}

void makeGrowingDialogFrame(QWidget& window, QSize clientSize)
{
    holdWindowFont(window);
    Qt::WindowFlags flags = (window.windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint;
    window.setWindowFlags(flags);
    window.setMinimumSize(clientSize);
    window.resize(clientSize);
}

QSize availableClientSize()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return screen->availableGeometry().size() - kFrameAllowance;
}

QWidget& fitOnScreen(QWidget& window, QSize available)
{
    const QSize design = window.size();
    if (available.isEmpty() || (design.width() <= available.width() && design.height() <= available.height()))
        return window;

    const bool growing = window.maximumSize() != window.minimumSize();
    auto* content = new QWidget;
    content->setObjectName(window.objectName() + QStringLiteral("Content"));
    content->resize(design);
    const QObjectList children = window.children();
    for (QObject* child : children) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow())
            continue;
        // Moving keeps the place and, taken in creation order, the tab order; it hides what
        // it moves.
        bool hidden = widget->isHidden();
        QRect place = widget->geometry();
        widget->setParent(content);
        widget->setGeometry(place);
        if (!hidden)
            widget->show();
    }

    auto* area = new QScrollArea(&window);
    area->setObjectName(QStringLiteral("scrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    // The window's own background shows through.
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    content->setMinimumSize(design);
    if (!growing)
        content->setMaximumSize(design);
    area->setWidgetResizable(growing);
    area->setWidget(content);
    content->setAutoFillBackground(false);

    // As large as the content with the scroll bars it then needs, but no larger than the room.
    const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
    QSize wanted = design;
    if (design.width() > available.width())
        wanted.rheight() += bar;
    if (design.height() > available.height())
        wanted.rwidth() += bar;
    const QSize fitted = wanted.boundedTo(available);
    if (growing) {
        window.setMinimumSize(fitted.boundedTo(design));
        window.resize(fitted);
    } else {
        window.setFixedSize(fitted);
    }
    area->setGeometry(0, 0, fitted.width(), fitted.height());
    area->show();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect room = screen->availableGeometry();
        QPoint corner = centredPosition(room.size(), fitted + kFrameAllowance);
        window.move(room.topLeft() + QPoint(std::max(0, corner.x()), std::max(0, corner.y())));
    }
    return *content;
}

QString visibleCaption(const QString& caption)
{
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        shown += caption[i];
    }
    return shown;
}

void placeAutoSizeLabel(QLabel& label, int x, int y, int minimumWidth)
{
    QSize hint = label.sizeHint();
    int height = label.fontMetrics().height();
    label.setGeometry(x, y, std::max(minimumWidth, label.text().isEmpty() ? 0 : hint.width()), height);
}

} // namespace zintrel

namespace zintrel {

void widenCutCaptions(QWidget& window)
{
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
        if (!radio && !qobject_cast<QCheckBox*>(button))
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QRect label = button->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
        int missing = button->fontMetrics().horizontalAdvance(visibleCaption(button->text())) - label.width();
        if (missing > 0)
            button->resize(button->width() + missing, button->height());
    }
}

QToolButton* makePictureButton(QWidget* parent, const char* name, QRect rect, const QString& icon, QSize iconSize,
                               const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setIcon(QIcon(icon));
    button->setIconSize(iconSize);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    return button;
}

void registerFontSubstitutes()
{
    const QString family = QString::fromLatin1(kWindowFontFace);
    QStringList substitutes;
    for (const std::string& substitute : fontSubstitutes(family.toStdString()))
        substitutes << QString::fromStdString(substitute);
    QFont::insertSubstitutions(family, substitutes);
}

} // namespace zintrel
