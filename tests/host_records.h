// The record list as a host reads it: by the walk and by the chain.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tamrix_map.h"

using Record = std::pair<std::string, std::uint32_t>;
using Records = std::vector<Record>;

inline Records walk_all() {
    Records out;
    std::uint32_t value;
    const char *name;
    for (int more = GetFirstRecord(&value, &name); more == 0; more = GetNextRecord(&value, &name))
        out.emplace_back(name, value);
    return out;
}

inline Records follow_chain() {
    Records out;
    for (const MapRecord *node = GetRecordTop(); node; node = node->next) out.emplace_back(node->name, node->value);
    return out;
}

// Count, walk and chain agree; returns the records.
inline Records checked_records() {
    Records walked = walk_all();
    EXPECT_EQ(follow_chain(), walked);
    EXPECT_EQ(GetRecordCount(), static_cast<std::int32_t>(walked.size()));
    return walked;
}
