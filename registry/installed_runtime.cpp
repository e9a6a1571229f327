#include "registry/installed_runtime.h"

TRegistry* InstalledRuntimeReader(TRegistry& view64, TRegistry& viewDefault) {
    // The default view counts only when the 64-bit view lacks the key.
    for (TRegistry* reader : {&view64, &viewDefault}) {
        if (reader->KeyExists(InstalledRuntimeKey)) {
            reader->OpenKey(InstalledRuntimeKey);
            return reader;
        }
    }
    return nullptr;
}
