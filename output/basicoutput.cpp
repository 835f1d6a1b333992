#include "output/basicoutput.h"

#include <cmath>

void BasicOutput::parseOutputVariables()
{
    for (const std::string& name : variableNames_) {
        if (name == "tecplot") {
            variableCodes_.push_back(OUTPUT_TECPLOT);
        } else if (name == "RF") {
            variableCodes_.push_back(OUTPUT_CONTACT_FORCE);
        } else if (name == "S") {
            variableCodes_.push_back(OUTPUT_STRESS);
        } else if (name == "PE") {
            variableCodes_.push_back(OUTPUT_STRAIN);
        }
        // "U" and "LE" are known names without a code; others are ignored.
    }
}

bool BasicOutput::isOutputPoint(double time, double dt) const
{
    return ::isOutputPoint(interval_, time, dt);
}

bool isOutputPoint(double interval, double time, double dt)
{
    if (!(interval > 0.0)) {
        // No interval: only the state at time 0 is written.
        return time == 0.0;
    }
    // Truncation in double precision: no integer overflow for long runs.
    const double next = std::trunc(time / interval + 1.0) * interval;
    if ((time + dt - next) > (next - time)) {
        return true;
    }
    const double last = std::trunc(time / interval) * interval;
    return (last - (time - dt)) > (time - last);
}
