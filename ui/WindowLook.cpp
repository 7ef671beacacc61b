#include "WindowLook.h"

#include "pdf/FontSubstitutes.h"
#include "platform/Rounding.h"

#include <QCheckBox>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QWidget>

#include <algorithm>

namespace zintrel {

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

void applyWindowBackground(QWidget& window)
{
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, kWindowBackground);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    // Group boxes draw their frame through the middle of the caption line, the caption on the
    // window's background over it, as the layouts expect; captionless boxes keep that offset.
    window.setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid rgb(150, 168, 196); border-radius: 3px;"
                                        " margin-top: 6px; }"
                                        "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 1px;"
                                        " background-color: %1; }")
                             .arg(kWindowBackground.name()));
}

void makeFixedDialogFrame(QWidget& window, QSize clientSize)
{
    Qt::WindowFlags flags = (window.windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    window.setWindowFlags(flags);
    window.setFixedSize(clientSize);
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
        int missing = button->fontMetrics().horizontalAdvance(button->text()) - label.width();
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
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QIcon(icon));
    button->setIconSize(iconSize);
    button->setToolTip(hint);
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
