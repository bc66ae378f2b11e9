#pragma once

// The test suite grades a class of faulty programs built from these samples, each with one
// typical mistake switched on by compiling with ORVIMET_FAULT="<name>" (tests/faulty/). A
// sample built without it has no fault, and every check below folds away.

#include <string_view>

#ifndef ORVIMET_FAULT
#define ORVIMET_FAULT ""
#endif

constexpr bool fault(std::string_view name)
{
    return name == std::string_view(ORVIMET_FAULT);
}
