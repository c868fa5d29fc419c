#pragma once
// One loaded ARX application as the host keeps it.
#include <map>
#include <string>

#include <qmsys/module.h>

#include "cadhost/arx.h"

namespace cadhost {

struct ArxApplication {
    std::string path;                // absolute path it was opened from
    std::string fileName;            // its file name, by which other applications look it up
    qmsys::ClosableLibrary library;  // its handle is the packet pointer of kInitAppMsg (appId)
    AcRxEntryPointFunc entry = nullptr;
    bool locked = false;
    bool mdiAware = false;
    // Set when the host dropped the application; its library is closed as soon as no call
    // into it is running any more.
    bool discarded = false;
    int callDepth = 0;  // calls into the application currently running (re-entrancy)
    std::map<int, int (*)()> registeredFunctions;  // acedRegFunc handlers by function code
};

}  // namespace cadhost
