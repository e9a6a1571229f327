#pragma once

// The box that names the program and says it ended abnormally; returns when
// it is dismissed.
void ShowAbnormalTerminationBox();

// Ends the run after an error nothing handled: that box, then exit status 3
// without the normal exit-time clean-up.
[[noreturn]] void EndAbnormally();
