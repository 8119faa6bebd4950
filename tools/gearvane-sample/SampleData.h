#pragma once

#include <cstdint>
#include <filesystem>

namespace sample {

struct SampleOptions {
    int oilGrades = 6;
    int suppliers = 8;
    int vehicles = 3;
    int entries = 60;
    std::uint32_t seed = 1;
};

struct SampleCounts {
    int oilGrades = 0, suppliers = 0, vehicles = 0, entries = 0;
};

// Creates "OilGradeDB-KLXC", "SupplierDB-KLXC", "VehicleDB-KLXC" and
// "MainDB-KLXC" in the handheld folder (which must not hold them yet) and
// fills them. Records are marked changed on the handheld, as records
// entered there since the last HotSync are. Raises on failure.
SampleCounts writeSampleHandheld(const std::filesystem::path &handheldFolder, const SampleOptions &options);

} // namespace sample
