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
    [[maybe_unused]] inline void PrintTo(const Case& tableCase, std::ostream* stream) {            \
        *stream << tableCase.Name;                                                                 \
    }

// A table's test fixture, on a fixture of the file's own where given,
// instantiated over its cases, each test named after its case (the cases
// defined before it).
#define FIXTURE_TABLE_TEST(Fixture, Suite, Case, Cases)                                            \
    class Suite : public Fixture, public testing::WithParamInterface<Case> {};                     \
    INSTANTIATE_TEST_SUITE_P(Table, Suite, testing::ValuesIn(Cases), CaseName())
#define TABLE_TEST(Suite, Case, Cases) FIXTURE_TABLE_TEST(testing::Test, Suite, Case, Cases)
