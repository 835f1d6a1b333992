#include "solver/modelViews.h"

#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"

ContactModel contactModelOf(FEMDynamic& fem) {
  return ContactModel{fem.cycle,          fem.time,           fem.host_path_flag,     fem.part_array,
                      fem.node_id_map,    fem.nodeManager,    fem.contactNodeManager, fem.pairManager,
                      fem.surfaceManager, fem.contactManager, fem.unifiedContact};
}

OutputModel outputModelOf(FEMDynamic& fem) {
  const RigidManager* rigids = fem.rigidManager;
  return OutputModel{fem.cycle,
                     fem.work_path,
                     fem.host_path_flag,
                     fem.part_array,
                     fem.elm_manager_array,
                     fem.nodeManager,
                     fem.setManager,
                     fem.sectionManager,
                     fem.elementControl,
                     fem.pairManager,
                     fem.outputManager,
                     [rigids](const NodeCuda* node) { return rigids->bodyNodesOfAttachedNode(node); }};
}
