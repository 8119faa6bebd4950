#pragma once

#include <QFont>
#include <QRect>
#include <QSizeF>

class QWidget;

// The forms' geometry is given in pixels for the 8-point "MS Sans Serif"
// dialog font, whose letters average 6 pixels across and whose lines are 13
// pixels high. That font does not exist here: its name is mapped to a sans
// font of nearly the same widths (Liberation Sans, metric-compatible with
// Arial), and each form grows by the ratio of the font it actually gets to
// the original, as dialogs measured in dialog units do, so that every text
// keeps its room.
namespace formfont {

inline constexpr const char *DialogFamily = "MS Sans Serif";
inline constexpr double DesignCharWidth = 6.0;
inline constexpr double DesignLineHeight = 13.0;

// Maps DialogFamily to its stand-ins (once per program; later calls do nothing).
void RegisterSubstitutes();

// The dialog font: DialogFamily at the point size, its stand-ins registered.
QFont DialogFont(int pointSize = 8);

// How much a form laid out for the original font grows for `font`: across,
// the ratio of the letters' average widths; down, that of the line
// heights; never below 1.
QSizeF FontScale(const QFont &font);

// A rectangle of the original layout in the scaled one; edges are scaled
// and rounded, so neighbours stay neighbours.
QRect Scaled(const QRect &rect, const QSizeF &scale);
int ScaledX(int x, const QSizeF &scale);
int ScaledY(int y, const QSizeF &scale);

// Scales the form's size and size limits and the geometry of every control
// inside it (into panels and group boxes; a control's own parts are left to
// the control) by FontScale(form->font()). Returns the scale, for geometry
// that the form computes later.
QSizeF ScaleForm(QWidget *form);

} // namespace formfont
