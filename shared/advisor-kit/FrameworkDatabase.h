#pragma once

#include "FrameworkProfile.h"

#include <vector>

// The built-in catalogue of local inference runtimes. Built once on first use, then never
// changed, so any thread may read it.
class FrameworkDatabase
{
public:
    static const std::vector<FrameworkProfile>& all();
};
