#pragma once
// What the killed workstation and its driver agree on.
#include <iterator>

namespace KillPlan {

/// The sizes the store tool is asked for, customers and archive lines; the
/// driver tells a finished pair of stores from a half-made one by them.
struct Load {
    int customers, archive;
};
inline constexpr Load loads[] = {{60, 900}, {150, 400}, {260, 1500}};
inline constexpr int loadCount = int(std::size(loads));

} // namespace KillPlan
