#pragma once

#include <QColor>
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

// Paints the window's own background in kWindowBackground.
void applyWindowBackground(QWidget& window);

// A fixed-size window with a caption and a close box only.
void makeFixedDialogFrame(QWidget& window, QSize clientSize);

// Widens every check box and radio button of window whose caption would otherwise be cut
// off, by just the pixels its caption needs (the frames were drawn for narrower fonts).
void widenCutCaptions(QWidget& window);

// Puts a label whose size follows its text at (x, y): at least minimumWidth wide and as wide
// as its text needs.
void placeAutoSizeLabel(QLabel& label, int x, int y, int minimumWidth = 0);

// A flat picture button with a hint and no caption, out of the tab order.
QToolButton* makePictureButton(QWidget* parent, const char* name, QRect rect, const QString& icon, QSize iconSize,
                               const QString& hint);

// Makes "MS Sans Serif", the windows' default face, draw in the font the listing's PDF
// draws it in (pdf/FontSubstitutes.h). Call once after the QApplication exists.
void registerFontSubstitutes();

} // namespace zintrel
