#pragma once

#include "ZvTest.h"

#include <string>
#include <vector>

// Runs the built zvenv as a host of an application root: a copy of it, with
// the project's libraries, is placed in <root>/bin, so the root it works on
// is the test's.
namespace zvtest {

struct HostResult {
    int status = -1; // the exit status
    std::string out;
    std::string err;
};

// A root with the sample defaults in system/ and zvenv in bin/ (the validator
// module beside it when withValidator).
void PlaceHost(const AppRoot& root, bool withValidator = true);
HostResult RunHost(const AppRoot& root, const std::vector<std::string>& args);

// The names in a folder, sorted; empty when it cannot be read.
std::vector<std::string> ListNames(const std::string& folder);

} // namespace zvtest
