#include "utils/VersionNote.h"

GV_VERSION_INFO(2, 5, 0, 17, 1, 0, 3, 0, "Conduit for Gearvane", "Brenholt", "Gearvane");

int main()
{
    return 0;
}
