#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <vector>

// What a row gives under one ANSI code page. AnyCodePage stands for every
// code page the row does not name: for text that is the same in all of them.
constexpr UINT AnyCodePage = 0;

template <typename Expected> struct UnderCodePage {
    UINT CodePage;
    Expected Value;
};

template <typename Expected> using ByCodePage = std::vector<UnderCodePage<Expected>>;

// The row's expectation under this code page; null, with a failure, when
// the row states none: a row never passes for a code page it is silent on.
template <typename Expected>
const Expected* ExpectationUnder(const ByCodePage<Expected>& row, UINT codePage) {
    const Expected* any = nullptr;
    for (const UnderCodePage<Expected>& entry : row) {
        if (entry.CodePage == codePage) {
            return &entry.Value;
        }
        if (entry.CodePage == AnyCodePage) {
            any = &entry.Value;
        }
    }
    if (any == nullptr) {
        ADD_FAILURE() << "the row states nothing for code page " << codePage;
    }
    return any;
}

// The ANSI code page this run is meant to have: the one CTest names in
// TARNIX_CODE_PAGE, else the Western one of the default prefix. A locale
// that did not take would otherwise pass every row under 1252.
inline UINT IntendedCodePage() {
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"TARNIX_CODE_PAGE", value, 16);
    return length > 0 && length < 16 ? static_cast<UINT>(std::wcstoul(value, nullptr, 10)) : 1252;
}
