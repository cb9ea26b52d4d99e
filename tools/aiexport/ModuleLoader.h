// Finding and loading the filter module the way a host does, with dlopen.
#pragma once

#include <string>

class AHostExportFilter;

struct LoadedModule {
    void* handle = nullptr;
    AHostExportFilter* (*getFilter)() = nullptr;
    std::string path;  // what was opened
};

// Loads `explicitPath` when it is not empty, else the first module found
// beside the executable, in the build tree or in the installed layout.
// On failure returns false with a message that includes dlerror's text.
bool LoadModule(const std::string& explicitPath, LoadedModule& module, std::string& error);

// Where LoadModule looks when no path is given, in order.
std::string DefaultModuleSearch();

// The directory of the running program, "." when it cannot be told.
std::string ExecutableDirectory();
