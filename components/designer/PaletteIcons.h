#pragma once

#include <QIcon>

namespace dravik {

// The widget-box pictures of the two controls: a small edit box with a
// three-dot button, the data-aware one with a grid of table cells below.
QIcon paletteIconTEDITBUTTON();
QIcon paletteIconTWWDBEDITBUTTON();

} // namespace dravik
