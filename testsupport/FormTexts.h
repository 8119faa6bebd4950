#pragma once

#include <string>
#include <vector>

class QWidget;

namespace gvtest {

// Every text of the form that does not show whole in its control, with the
// font the control actually uses: labels, buttons, radio buttons, check
// boxes, group box titles, and memos that cannot scroll (all their lines,
// as wrapped, within the visible area). Each entry names the control and
// its text. The form must have been shown, so that memos are laid out.
std::vector<std::string> ClippedTexts(QWidget *form);

} // namespace gvtest
