#pragma once

namespace dbcontrols {

// Border of a control of the package: none, or the control's single frame.
enum TBorderStyle { bsNone = 0, bsSingle = 1 };

} // namespace dbcontrols
