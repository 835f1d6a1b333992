// The extent of a contact side against the size of its segments.
#pragma once
#include <string>

class Surface;
class NodeManager;

// Segment edges are no more than this share of a side's extent: the search
// grid is sized by the side's extent and its segments' count.
constexpr double kSideSpanPerEdge = 1.0e6;

// A contact side whose nodes spread over more than kSideSpanPerEdge times
// its median segment edge holds a node far from the rest (a coordinate typed
// wrong, as a rule), and no search grid can follow both the far node and the
// segments' size. Returns false for such a side after printing a message
// that names the contact, the side and the node farthest from the side's
// middle; true otherwise (and for a side without nodes to measure).
bool contactSideSpanIsSound(const Surface& side, const NodeManager* nodes, const std::string& contact,
                            const char* which);
