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

// A table's test fixture, instantiated over its cases, each test named
// after its case (the cases defined before it).
#define TABLE_TEST(Test, Case, Cases)                                                              \
    class Test : public testing::TestWithParam<Case> {};                                           \
    INSTANTIATE_TEST_SUITE_P(Table, Test, testing::ValuesIn(Cases), CaseName())
