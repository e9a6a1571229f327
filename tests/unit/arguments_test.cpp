#include <gtest/gtest.h>

#include "launcher/arguments.h"
#include "tests/support/case_name.h"

namespace {

struct CommandLineCase {
    const char* Name;
    const wchar_t* CommandLine;
    int Count;
    const wchar_t* FirstArgument;
    std::optional<LaunchRoute> Route;
};
TABLE_CASE_PRINTER(CommandLineCase)

constexpr auto Sis = LaunchRoute::SisMode;
constexpr auto Unknown = LaunchRoute::UnknownArgument;

const CommandLineCase CommandLineCases[] = {
    // No argument: a runtime route, never SIS.
    {"EmptyCommandLine", L"", 0, L"", std::nullopt},
    {"ProgramNameOnly", L"tarnix2018.exe", 0, L"", std::nullopt},
    {"TrailingBlanks", L"tarnix2018.exe   \t ", 0, L"", std::nullopt},
    {"QuotedProgramPathWithSpaces", L"\"C:\\Program Files\\App\\tarnix2018.exe\"", 0, L"",
     std::nullopt},
    {"QuotedProgramPathAndBlank", L"\"C:\\Program Files\\App\\tarnix2018.exe\" ", 0, L"",
     std::nullopt},
    // A quote right after the program name continues the name.
    {"QuoteRightAfterProgramName", L"\"tarnix2018.exe\"SIS", 0, L"", std::nullopt},
    // Empty quote pairs are skipped like blanks.
    {"EmptyQuotePair", L"tarnix2018.exe \"\"", 0, L"", std::nullopt},
    {"TwoEmptyQuotePairs", L"tarnix2018.exe \"\" \"\"", 0, L"", std::nullopt},
    {"EmptyPairThenSis", L"tarnix2018.exe \"\" SIS", 1, L"SIS", Sis},
    {"EmptyPairJoinedToSis", L"tarnix2018.exe \"\"SIS", 1, L"SIS", Sis},
    {"TwoPairsJoinedToSis", L"tarnix2018.exe \"\"\"\"sis", 1, L"sis", Sis},
    // A lone quote at the very end is an empty argument: the count ends.
    {"LoneQuoteAtEnd", L"tarnix2018.exe \"", 0, L"", std::nullopt},
    {"LoneQuoteAfterSis", L"tarnix2018.exe SIS \"", 1, L"SIS", Sis},
    // SIS in any case; what follows it has no effect.
    {"LowerSis", L"tarnix2018.exe sis", 1, L"sis", Sis},
    {"MixedSis", L"tarnix2018.exe Sis", 1, L"Sis", Sis},
    {"UpperSis", L"tarnix2018.exe SIS", 1, L"SIS", Sis},
    {"SisWithMoreArguments", L"\"C:\\Program Files\\tarnix2018.exe\" sIs xyz \"a b\"", 3, L"sIs",
     Sis},
    {"QuotedSis", L"tarnix2018.exe \"sis\"", 1, L"sis", Sis},
    {"QuotedSectionInSis", L"tarnix2018.exe s\"i\"s", 1, L"sis", Sis},
    // Anything else is unknown.
    {"SisWithSuffix", L"tarnix2018.exe SISX", 1, L"SISX", Unknown},
    {"OtherArgumentFirst", L"tarnix2018.exe xyz SIS", 2, L"xyz", Unknown},
    {"QuotedBlankBeforeSis", L"tarnix2018.exe \" SIS\"", 1, L" SIS", Unknown},
    {"ShortOfSis", L"tarnix2018.exe SI", 1, L"SI", Unknown},
    // Quoted sections inside an argument; backslashes are plain characters.
    {"QuotedSectionInside", L"tarnix2018.exe a\"b c\"d", 1, L"ab cd", Unknown},
    {"BackslashesArePlain", L"tarnix2018.exe C:\\dir\\ next", 2, L"C:\\dir\\", Unknown},
    {"BackslashBeforeQuoteIsPlain", L"tarnix2018.exe a\\\"b c", 1, L"a\\b c", Unknown},
    // An unterminated quote takes the rest of the line.
    {"UnterminatedQuote", L"tarnix2018.exe \"abc def  ghi", 1, L"abc def  ghi", Unknown},
    // Tabs and other control characters separate like spaces.
    {"TabSeparates", L"tarnix2018.exe\tSIS", 1, L"SIS", Sis},
    {"ControlCharactersSeparate", L"tarnix2018.exe\x01sis\x1f\x0dmore", 2, L"sis", Sis},
    // Characters above 32, even blanks of other alphabets, do not separate.
    {"NoBreakSpaceJoins", L"tarnix2018.exe\u00a0SIS", 0, L"", std::nullopt},
    {"NoBreakSpaceInsideArgument", L"tarnix2018.exe SIS\u00a0x", 1, L"SIS\u00a0x", Unknown},
};

TABLE_TEST(CommandLineTest, CommandLineCase, CommandLineCases);

TEST_P(CommandLineTest, CountsReadsAndRoutes) {
    const CommandLineCase& c = GetParam();
    EXPECT_EQ(ArgumentCount(c.CommandLine), c.Count);
    EXPECT_EQ(ArgumentAt(c.CommandLine, 1), c.FirstArgument);
    EXPECT_EQ(RouteFromArguments(c.CommandLine), c.Route);
}

TEST(ArgumentAt, ReadsEachArgumentAndEmptyPastTheLast) {
    const wchar_t* commandLine = L"\"C:\\A B\\t.exe\" one \"two three\" four";
    EXPECT_EQ(ArgumentAt(commandLine, 0), L"C:\\A B\\t.exe");
    EXPECT_EQ(ArgumentAt(commandLine, 2), L"two three");
    EXPECT_EQ(ArgumentAt(commandLine, 3), L"four");
    EXPECT_EQ(ArgumentAt(commandLine, 4), L"");
    EXPECT_EQ(ArgumentAt(commandLine, 40), L"");
    // A quote at the very end is an empty argument; one before text opens a
    // quoted section.
    EXPECT_EQ(ArgumentAt(L"t.exe one \"", 2), L"");
    EXPECT_EQ(ArgumentAt(L"t.exe one \" two", 2), L" two");
}

TEST(UpperText, FollowsTheUserLocaleNotAscii) {
    EXPECT_EQ(UpperText(L"sis"), L"SIS");
    EXPECT_EQ(UpperText(L"a\u00e7\u00e3o"), L"A\u00c7\u00c3O");
    EXPECT_EQ(UpperText(L""), L"");
}

} // namespace
