// Model set-up after reading: links the read records of every subsystem
// together before the time loop, and the keyword deck's completion that
// translates deck ids into internal numbers after the block loop.
#pragma once

class FEMDynamic;
struct KeywordDeckState;

// Completes a keyword deck after its block loop: mass-scaling step, element
// stores handed to the parts, deck ids of nodes, parts, sets, surfaces,
// boundaries, loads, constraints and initial conditions translated into
// internal numbers. Every lookup is checked: an id that the deck never
// defined is reported on the error stream and the result is false (the deck
// is refused).
bool completeKeywordDeck(FEMDynamic* fem, KeywordDeckState& state);

// Links the read model in its fixed order (nodes, id maps, materials,
// sections, parts, element nodes, sets, rigid bodies, constraints, initial
// conditions, element types, contacts, rigid walls) and prints "success!".
// Returns 1 when the model is linked; 0 when a reference cannot be resolved
// (reported on the error stream), and the run must not start.
int preprocessModel(FEMDynamic* fem);

// Resolves every contact's sides into surfaces or slave node lists, hands
// tied contacts to the tie manager (whose ties then drop the whole-model
// contacts between the surfaces they glue), then numbers the segments over
// all surfaces. False, after a message naming the contact and the side,
// when a side names nothing the model has or nothing to touch.
bool buildContactSurfaces(FEMDynamic* fem);

// Last step of preprocessModel: run-time state of rigid nodes, initial
// coordinates, surface thicknesses, search modes, safe factor, step multipliers.
void finishPreprocess(FEMDynamic* fem);
