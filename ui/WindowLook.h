#pragma once

#include <QColor>
#include <QPalette>
#include <QPoint>
#include <QSize>

class QLabel;
class QRect;
class QString;
class QToolButton;
class QWidget;

namespace zintrel {

// The background every window shares.
inline const QColor kWindowBackground{216, 228, 248};
inline constexpr const char* kWindowFontFace = "MS Sans Serif";
inline constexpr int kWindowFontPoints = 8;

// The top-left corner that centres a frame of outerSize on a screen of screenSize, each half
// rounded to the nearest whole pixel with halves to the even neighbour (287.5 -> 288,
// 286.5 -> 286).
QPoint centredPosition(QSize screenSize, QSize outerSize);

// Centres a window on the primary screen by its outer (framed) size; left first, then top.
void centreOnScreen(QWidget& window);

// The light palette the windows are drawn for, whatever the desktop's scheme: dark text on
// light window, button, base, highlight and tool tip colours, in every colour group.
QPalette lightPalette();

// Makes lightPalette() the application's palette and the tool tips' palette, so that the
// dialogs Qt draws (message boxes, file, colour and font dialogs), the drop-down lists and
// calendars, and the hints read the same as the windows.
void useLightPalette();

// Gives the window lightPalette() with its own background in kWindowBackground, and makes
// lightPalette() the application's (useLightPalette).
// extraRules: the window's own style sheet rules, if any. (A window's style sheet is set once:
// a second one would give controls not yet shown the application's font.)
void applyWindowBackground(QWidget& window, const QString& extraRules = QString());

// A fixed-size window with a caption and a close box only, in the windows' font.
void makeFixedDialogFrame(QWidget& window, QSize clientSize);

// A window with a caption and a close box that can be made larger than clientSize, never
// smaller; in the windows' font.
void makeGrowingDialogFrame(QWidget& window, QSize clientSize);

// The primary screen's available area (without panels and docks) less room for a window
// frame, in the same units as widget sizes; empty when there is no screen.
QSize availableClientSize();

// Keeps every control of a window reachable on a screen too small for it (a large scale
// factor, a small display): when the window is larger than available, its controls move
// into a scroll area in the window, the window shrinks to available and is centred on the
// primary screen's available area. A window that fits is left exactly as it is. Returns the
// widget that holds the controls: the window itself, or the scroll area's content.
QWidget& fitOnScreen(QWidget& window, QSize available);

// A caption as drawn: the "&" that marks a mnemonic left out, "&&" as one "&".
QString visibleCaption(const QString& caption);

// Widens every check box and radio button of window whose caption would otherwise be cut
// off, by just the pixels its caption needs (the frames were drawn for narrower fonts).
void widenCutCaptions(QWidget& window);

// Puts a label whose size follows its text at (x, y): at least minimumWidth wide and as wide
// as its text needs.
void placeAutoSizeLabel(QLabel& label, int x, int y, int minimumWidth = 0);

// A flat picture button with a hint and no caption; Tab reaches it and Space presses it, and
// the hint is also its accessible name.
QToolButton* makePictureButton(QWidget* parent, const char* name, QRect rect, const QString& icon, QSize iconSize,
                               const QString& hint);

// Makes "MS Sans Serif", the windows' default face, draw in the font the listing's PDF
// draws it in (pdf/FontSubstitutes.h). Call once after the QApplication exists.
void registerFontSubstitutes();

} // namespace zintrel
