#include "tests/support/launcher_entries.h"

#include "tests/support/scratch_registry.h"

void RemoveLauncherEntries() {
    for (const REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
        DeleteMachineKey(view, RuntimeKey);
        DeleteMachineKey(view, SystemKey);
    }
}
