#include "tests/deviceTest.h"

#include <string>
#include <vector>

#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

TEST(SetupPasses, HostPassCallsManagersInOrder) {
  FEMDynamic fem;
  fem.newManagers();
  std::vector<std::string> trace;
  fem.setupTrace = &trace;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(fem.initialComputeCpu());
  testing::internal::GetCapturedStdout();
  const std::vector<std::string> expected = {
      "ElmManager::setInternalParamNum",
      "ElmManager::computeAddMemSize",
      "Surface::countSegments",
      "ContactNodeManager::buildContactNodes",
      "Surface::collectContactNodeIds",
      "Contact::buildSlaveNodeSet",
      "FEMDynamic::calSegmentPenaltyStiffness",
      "NodeManager::storeAllIniCoord",
      "MaterialManager::createMaterialNewArray",
      "linkMaterialNew",
      "setSolidStepModels",
      "SmoothFemManager::createSmoothDomains",
      "ElmManager::setIntegrationPointNum",
      "IntegratPointManager::numberGaussPoints",
      "MaterialManager::createStatusArraysCpu",
      "IntegratPointManager::createGaussPoints",
      "linkGaussPoints",
      "IntegratPointManager::setNodeNumAndAllocateShapePartial",
      "ElmManager::setSolidIntegration",
      "SmoothFemManager::computeSmoothDomains",
      "ElmManager::calNodeMass",
      "NodeManager::nodeMassCheckCpu",
      "RigidManager::buildExtraNodes",
      "Constrained::transferMass",
      "RigidConstrained::linkCurve",
      "TieManager::linkTieSurfaces",
      "LoadManager::linkAllCurves",
      "OutputManager::addDefaultOutput",
  };
  EXPECT_EQ(trace, expected);
}

DEVICE_TEST(SetupPasses, UploadAndDevicePassesCallManagersInOrder) {
  FEMDynamic fem;
  fem.newManagers();
  fem.timeControl->end_time = 1.0;
  std::vector<std::string> trace;
  testing::internal::CaptureStdout();
  fem.initialComputeCpu();
  fem.setupTrace = &trace;
  fem.allocateAndCopySingleGpu();
  EXPECT_TRUE(fem.initialComputeSingleGpu());
  testing::internal::GetCapturedStdout();
  const std::vector<std::string> expected = {
      "NodeManager::allocateAndCopyNodes",
      "ContactNodeManager::allocateAndCopyGpu",
      "SectionManager::copySectionsToGpu",
      "MaterialManager::allocateAndCopyMaterialGpu",
      "HourglassControlManager::allocateAndCopyGpu",
      "gpuErrorProbe",
      "ElmManager::allocateAndCopyGpu",
      "Surface::allocateAndCopySegmentArrayGpu",
      "copyAllToGpu",
      "Constrained::allocateAndCopyGpu",
      "RigidCuda::copyNodesToGpu",
      "Contact::allocateAndCopySlaveNodeArrayGpu",
      "ConstrainedManager::copyConstrainedToGpu",
      "PairManager::allocateAndCopyContactPairArrayGpu",
      "ElementControl::allocateAndCopyElementPtr",
      "TieManager::allocateAndCopyGpu",
      "IntegratPointManager::allocateGaussPointGpu",
      "RigidManager::copyToGpu",
      "RigidWall::copySlaveNodesToGpu",
      "IntegratPointManager::copyGaussPointToGpu",
      "ElmManager::gpuBuildIndexNode",
      "UnifiedContact::buildSubDomainManagers",
      "ElementControl::sortElementPtrByType",
      "RigidCuda::allocateForceBuffer",
      "PairManager::allocatePairCounters",
      "IntegratPointManager::gpuLinkGaussPointToElement",
      "gpuErrorProbe",
      "IntegratPointManager::copyShapePartialToGpu",
      "SurfaceManager::allocateAndCopySurfaceInteractGpu",
      "IntegratPointManager::gpuVerTLBMatrix",
  };
  EXPECT_EQ(trace, expected);
  EXPECT_NE(fem.pairManager->contact_pair_num_cpu, nullptr);
}

TEST(SolverObject, ManagersExistAndStartAtZero) {
  FEMDynamic fem;
  fem.newManagers();
  EXPECT_NE(fem.nodeManager, nullptr);
  EXPECT_NE(fem.rigidExtraNodeManager, nullptr);
  EXPECT_NE(fem.multiGpuManager, nullptr);
  EXPECT_NE(fem.contactManager, nullptr);
  EXPECT_NE(fem.unifiedContact, nullptr);
  EXPECT_NE(fem.database_array, nullptr);
  EXPECT_EQ(fem.timeControl->safe_factor, 0.0);
  EXPECT_EQ(fem.timeControl->end_cycle, 0);
  EXPECT_EQ(fem.pairManager->search_mode, 0);
  EXPECT_EQ(fem.pairManager->force_mode, 0);
  EXPECT_EQ(fem.global_search_record, nullptr);
  fem.deleteManagers();
  EXPECT_EQ(fem.nodeManager, nullptr);
  fem.deleteManagers();  // a second delete finds every slot empty
}

}  // namespace
