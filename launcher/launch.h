#pragma once

#include <windows.h>

#include "launcher/launch_plan.h"

// Starts the child hidden in the plan's working directory and waits for its
// end; when it cannot be started, or the plan refuses, shows the error box
// instead.
void LaunchAndWait(const LaunchPlan& plan);

// The one-line error box with the system error code.
void ReportLaunchError(DWORD code);
