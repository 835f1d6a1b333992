#include "elements/shell/shellElementCuda.h"

#include "core/section.h"

void ShellElementCuda::setThick(const Section* section) {
  if (section == nullptr) return;
  const double* t = section->thickness;
  thick = (t[0] + t[1] + t[2] + t[3]) * 0.25;
  thickCurrent = thick;
}
