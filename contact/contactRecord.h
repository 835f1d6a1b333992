// What each contact saw, for the run record: the deepest penetration of its
// nodes over the run (node, segment, time), the overlap left at the end and
// the overlap it started with, so that a pass-through shows without the
// result files.
#pragma once
#include <ostream>
#include <string>

struct ContactDepth;
struct ContactModel;

// Fills every contact's deepest and end-overlap records from its slave
// nodes' records (read back from the device when the GPU loop ran).
void gatherContactDepths(ContactModel& fem);
// The lines of every contact.
void writeContactRecord(std::ostream& out, const ContactModel& fem);
// "2e-05 (0.141 % of the face's size) at time 1.5e-05, node 31, behind the
// face of nodes 19 20 23 22" (deck ids; the time when asked for).
std::string describeDepth(const ContactDepth& d, const ContactModel& fem, bool withTime);
