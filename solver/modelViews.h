// The views of the solver object that the layers below it read: what the
// outputs read of the model, taken afresh at each output step (it carries
// the cycle count).
#pragma once
#include "output/outputModel.h"

class FEMDynamic;

OutputModel outputModelOf(FEMDynamic& fem);
