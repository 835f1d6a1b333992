// The views of the solver object that the layers below it read: what the
// contact passes and the outputs read of the model, taken afresh at each
// step that reads them (they carry the time and the cycle count).
#pragma once
#include "contact/contactModel.h"
#include "output/outputModel.h"

class FEMDynamic;

ContactModel contactModelOf(FEMDynamic& fem);
OutputModel outputModelOf(FEMDynamic& fem);
