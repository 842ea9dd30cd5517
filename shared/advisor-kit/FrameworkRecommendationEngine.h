#pragma once

#include "FrameworkProfile.h"
#include "FrameworkRecommendation.h"
#include "UserRecommendationContext.h"

#include <vector>

// Ranks the built-in runtimes for one set of answers. Holds no state, so calls from any thread
// are independent and need no lock.
class FrameworkRecommendationEngine
{
public:
    FrameworkRecommendationEngine() = default;

    // At most `limit` records, best first, ranked from 1; a limit of 0 or below gives none.
    std::vector<FrameworkRecommendation> recommend(const UserRecommendationContext& context, int limit) const;

private:
    static double scoreFramework(const FrameworkProfile& profile, const UserRecommendationContext& context);
    static FrameworkRecommendation buildRecommendation(
        const FrameworkProfile& profile, int rank, const UserRecommendationContext& context);
};
