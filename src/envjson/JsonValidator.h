#pragma once

#include <zvenv/CTqEnvJson.h>
#include <zvenv/platform/Os.h>

// The validator module and its entry point, process-wide. The manager loads
// them at start-up and frees them at unload; every JSON load reads the entry
// point and, when it is null, rejects the text with an empty description.
extern zv::os::ModuleHandle g_hJsonLint;
extern JsonCppParseFn g_pfnJsonCppParse;
