#pragma once

#include <QString>

namespace dbcontrols {

// Picture mask settings of a data-aware edit. The edit carries them for the
// forms; it does not apply the mask itself.
struct TwwDBPicture {
    QString PictureMask;
    bool AutoFill = true;
    bool AllowInvalidExit = false;

    bool operator==(const TwwDBPicture &) const = default;
};

} // namespace dbcontrols
