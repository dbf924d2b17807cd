// The rule for showing a box.
#include "box_rule.h"

bool box_can_be_seen(bool quiet, unsigned long station_flags, unsigned long session) {
    return !quiet && (station_flags & kStationVisible) != 0 && session != 0;
}
