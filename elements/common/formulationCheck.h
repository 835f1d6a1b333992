// Parts whose elements this version cannot compute: refused at set-up with
// a message naming the part, rather than run without internal forces.
#pragma once

class Part;

// False (after the messages on the error stream) when the part's elements
// would run without force: a material whose model computes no stress
// (low-density foam, general nonlinear), a Mooney-Rivlin material without
// positive small-strain moduli, second-order solids of a type without a
// force (fifteen-node pentahedra, twenty-node hexahedra), or beams and
// trusses of an elastic-plastic material that would stay elastic (all but
// tubes integrated over their wall points).  Needs the part's
// links and the element types.
bool checkPartComputable(const Part& part);
