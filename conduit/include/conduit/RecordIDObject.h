#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace conduit {

// The new handheld id of a desktop row that was written as a new record,
// and the DBID the row carried before.
class TRecordIDObject {
public:
    std::int32_t NewId = 0;
    std::int32_t OldId = 0;
};

// Id pairs in the order they were added, each under the decimal text of its
// OldId. The list owns its pairs.
struct TIdPairEntry {
    std::string key;
    std::unique_ptr<TRecordIDObject> pair;
};
using TIdPairList = std::vector<TIdPairEntry>;

} // namespace conduit
