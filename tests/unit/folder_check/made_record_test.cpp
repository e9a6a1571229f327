#include "tests/support/folder_facts.h"

namespace {

// The removal itself, on the disk: C:\TarnixFeita recorded as made, then
// changed by the row before it is looked at, or between its judgement and
// its removal.
struct RemovedCase {
    const char* Name;
    void (*Before)(const fs::path& made);
    void (*Judged)(const fs::path& made);
    Removal Expected;
    bool Stays;      // a folder is still at the path
    bool AsideStays; // the folder moved aside by the row is still there
};
TABLE_CASE_PRINTER(RemovedCase)

void Nothing(const fs::path&) {}
// The folder made moved aside, as it keeps its file id, and another made in its place.
void Swapped(const fs::path& made) {
    fs::rename(made, made.wstring() + L"Antiga");
    fs::create_directory(made);
}

const RemovedCase RemovedCases[] = {
    {"TheFolderMade", Nothing, Nothing, Removal::Removed, false, false},
    {"Gone", [](const fs::path& made) { fs::remove(made); }, Nothing, Removal::Gone, false, false},
    {"MadeAgainSince", Swapped, Nothing, Removal::NotTheFolderMade, true, true},
    {"NotEmpty", [](const fs::path& made) { std::ofstream(made / L"nota.txt") << "x"; }, Nothing,
     Removal::NotEmpty, true, false},
    // Swapped between the look and the removal: the one now at the path
    // stays. (Wine keeps the judged one too: it unlinks a closed folder only
    // where its name still leads to it; Windows removes it.)
    {"SwappedOnceJudged", Nothing, Swapped, Removal::Removed, true, true},
};

TABLE_TEST(RemovedTest, RemovedCase, RemovedCases);

TEST_P(RemovedTest, GoesThroughTheHandleTheFolderWasJudgedBy) {
    const fs::path made = L"C:\\TarnixFeita";
    for (const wchar_t* left :
         {L"C:\\TarnixFeita\\nota.txt", L"C:\\TarnixFeita", L"C:\\TarnixFeitaAntiga"}) {
        fs::remove(left);
    }
    fs::create_directory(made);
    MadeRecord record = {made.wstring(), L"", L"{P}"};
    record.Identity = OpenObject(made.wstring()).Read.Identity;
    GetParam().Before(made);
    const Removal removal = RemoveMadeFolder(record, [&made] { GetParam().Judged(made); });
    EXPECT_STREQ(RemovalName(removal), RemovalName(GetParam().Expected));
    EXPECT_EQ(fs::exists(made), GetParam().Stays);
    EXPECT_EQ(fs::exists(made.wstring() + L"Antiga"), GetParam().AsideStays);
    fs::remove_all(made);
    fs::remove_all(made.wstring() + L"Antiga");
}

} // namespace
