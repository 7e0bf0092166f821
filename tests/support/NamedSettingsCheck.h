#pragma once
// The rule every named-settings table keeps: each entry carries its mark and a reason, a
// setting with no field is a choice, and no two entries read one field unless the later one
// says why.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <span>
#include <string>

#include "records/NamedSettings.h"

inline void ExpectWellFormedTable(std::span<const NAMEDSETTING> table) {
    std::set<std::string> names;
    std::map<std::string, std::string> readers;
    for (const NAMEDSETTING& e : table) {
        ASSERT_TRUE(e.name && e.field);
        EXPECT_TRUE(names.insert(e.name).second) << e.name << " is listed twice";
        EXPECT_TRUE(e.mark == eMark::Stated || e.mark == eMark::Chosen) << e.name;
        EXPECT_TRUE(e.why && *e.why) << e.name << " gives no reason";
        if (std::string(e.field) == "-") {
            EXPECT_EQ(e.mark, eMark::Chosen) << e.name << ": a setting without a field is a choice";
            continue;
        }
        const auto [it, fresh] = readers.emplace(e.field, e.name);
        if (!fresh)
            EXPECT_TRUE(e.shared && *e.shared) << e.name << " and " << it->second << " both read " << e.field;
        else
            EXPECT_EQ(e.shared, nullptr) << e.name << " claims a shared field that no earlier entry reads";
    }
}
