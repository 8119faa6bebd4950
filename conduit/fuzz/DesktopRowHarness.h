#pragma once

// Runs hostile desktop rows, as another program may store them, through
// the record classes' readers and on to the handheld. Shared by the
// libFuzzer target and the replay test.
//
// An input is one byte that picks the table (0 OILGRADE, 1 SUPPLIER,
// 2 VEHICLE, 3 MAIN), then one value per column after InternalID, in the
// table's column order: a byte for its storage class (0 NULL, 1 INTEGER with
// 8 bytes, 2 REAL with 8 bytes, 3 TEXT with a length byte and that many
// bytes), then its bytes. Missing values are NULL.

#include "palmsync/SyncSuite.h"

#include "com/ComPtr.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct sqlite3;

namespace palmsync {
class HotSyncSession;
}

namespace conduit::fuzz {

class DesktopRowHarness {
public:
    // Creates the four tables in `desktopFolder` and the four databases in
    // `handheldFolder` (both existing and empty) and starts a HotSync. One
    // harness at a time per process.
    DesktopRowHarness(const std::filesystem::path &desktopFolder, const std::filesystem::path &handheldFolder);
    ~DesktopRowHarness();
    DesktopRowHarness(const DesktopRowHarness &) = delete;
    DesktopRowHarness &operator=(const DesktopRowHarness &) = delete;

    // Stores the row, reads it into its record class and writes that to the
    // handheld. Returns the text of the error that refused it, or "" when
    // it went through; anything not derived from std::exception passes.
    std::string run(std::span<const std::uint8_t> input);

private:
    std::filesystem::path desktop_;
    std::unique_ptr<palmsync::HotSyncSession> session_;
    com::ComPtr<palmsync::IPDUtility> utility_;
    std::array<com::ComPtr<palmsync::IPDRecordAdapter>, 4> adapters_;
    std::array<std::vector<std::string>, 4> columns_;
};

} // namespace conduit::fuzz
