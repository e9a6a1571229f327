#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// Names a table's test after its case's Name.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& test) const {
        return test.param.Name;
    }
};

// Prints a case as its Name, so test listings show no raw bytes. Declared in
// each test file's namespace with TABLE_CASE_PRINTER(CaseType).
#define TABLE_CASE_PRINTER(Case)                                                                   \
    [[maybe_unused]] void PrintTo(const Case& tableCase, std::ostream* stream) {                   \
        *stream << tableCase.Name;                                                                 \
    }
