#pragma once

// What the stand-in runtime records of its own start, one "key=value" line
// each, in UTF-16, into the file named by RecordVariable. The test and the
// stand-in share these names.

// Environment variables the test sets and the launcher passes on.
constexpr wchar_t RecordVariable[] = L"TARNIX_STAND_IN_RECORD";
constexpr wchar_t HoldEventVariable[] = L"TARNIX_STAND_IN_HOLD";         // wait for this event
constexpr wchar_t ExitCodeVariable[] = L"TARNIX_STAND_IN_EXIT";          // exit with this status
constexpr wchar_t InheritedHandleVariable[] = L"TARNIX_STAND_IN_HANDLE"; // check it arrived
// Hold this file open as a running JVM holds its archive (others may read
// and write it, not delete it) until ended.
constexpr wchar_t HeldFileVariable[] = L"TARNIX_STAND_IN_HOLD_FILE";

// Record keys.
constexpr wchar_t CommandLineKey[] = L"command";
constexpr wchar_t DirectoryKey[] = L"directory";
constexpr wchar_t StartupFlagsKey[] = L"flags";
constexpr wchar_t ShowWindowKey[] = L"show";
constexpr wchar_t HandleInheritedKey[] = L"inherited";
