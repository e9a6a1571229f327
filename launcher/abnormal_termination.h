#pragma once

// Ends the run after an error nothing handled: a box naming the program,
// then exit status 3 without the normal exit-time clean-up.
[[noreturn]] void EndAbnormally();
