#include "output/nodalStress.h"

#include "core/nodeManager.h"
#include "core/sectionmanager.h"
#include "elements/elementControl.h"
#include "solver/femdynamic.h"

void averageNodalStressGpu(FEMDynamic* fem)
{
    NodeManager* nodes = fem->nodeManager;
    nodes->gpuClearNodeStr();
    fem->elementControl->gpuAccumulateStrToNode(fem->sectionManager->section_array_gpu);
    nodes->gpuAverageNodeStr();
}
