#include "tests/deviceTest.h"

#include "core/sectionmanager.h"

TEST(Section, TubeProperties) {
  Section s;
  s.family_code = 2;
  s.element_formulation = 1;
  s.shape_selector = 1.0;
  s.outer_diameter[0] = 2.0;
  s.reserved[0] = s.reserved[1] = 9.0;
  s.calBeamSectionProperty();
  EXPECT_DOUBLE_EQ(s.A, 3.1415926);
  EXPECT_DOUBLE_EQ(s.Iyy, 0.78539815);
  EXPECT_DOUBLE_EQ(s.Izz, 0.78539815);
  EXPECT_DOUBLE_EQ(s.J, 1.5707963);
  EXPECT_DOUBLE_EQ(s.As, 3.1415926);
  EXPECT_EQ(s.reserved[0], 0.0);
  // A hollow tube: the shear area is the full ring area too.
  s.inner_diameter[0] = 1.0;
  s.calBeamSectionProperty();
  EXPECT_DOUBLE_EQ(s.A, 0.75 * 3.1415926);
  EXPECT_DOUBLE_EQ(s.As, s.A);
  s.setIntegrationPoints();
  EXPECT_EQ(s.point_count, 1);
  EXPECT_EQ(s.point_y[0], 0.0);
}

TEST(Section, ResultantBeamAndDefaults) {
  Section r;
  r.family_code = 2;
  r.element_formulation = 2;
  r.given_Iyy = 2.0;
  r.given_Izz = 3.0;
  r.calBeamSectionProperty();
  EXPECT_EQ(r.J, 5.0);
  r.given_J = 1.5;
  r.calBeamSectionProperty();
  EXPECT_EQ(r.J, 1.5);

  Section shell;  // a shell section is not a beam: nothing changes
  shell.family_code = 3;
  shell.element_formulation = 1;
  shell.outer_diameter[0] = 2.0;
  shell.calBeamSectionProperty();
  EXPECT_EQ(shell.A, 0.0);

  Section m;
  m.element_formulation = 8;
  m.setDefaultValue();
  EXPECT_EQ(m.formulation8_value, 0.1);
  m.formulation8_value = 0.3;
  m.setDefaultValue();
  EXPECT_EQ(m.formulation8_value, 0.3);
}

DEVICE_TEST(SectionManager, SortsFindsAndUploads) {
  SectionManager manager;
  for (int id : {3, 1, 2}) {
    Section s;
    s.id = id;
    s.title = "section " + std::to_string(id);
    manager.section_array.push_back(s);
  }
  manager.sortAndMapSections();
  ASSERT_EQ(manager.section_array.size(), 3u);
  EXPECT_EQ(manager.section_array[0].id, 1);
  EXPECT_EQ(manager.section_array[2].id, 3);
  EXPECT_EQ(manager.findSectionById(2), &manager.section_array[1]);
  EXPECT_EQ(manager.findSectionById(2)->title.str(), "section 2");
  EXPECT_EQ(manager.findSectionById(4), nullptr);
  manager.copySectionsToGpu();
  Section back[3];
  ASSERT_EQ(cudaMemcpy(back, manager.section_array_gpu, sizeof(back), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back[1].id, 2);
}

TEST(FixedName, KeepsTextWithinItsCapacity) {
  FixedName<8> n;
  EXPECT_TRUE(n.empty());
  n = std::string("abcdefghijk");
  EXPECT_EQ(n.str(), "abcdefg");
  n = "xy";
  EXPECT_TRUE(n == "xy");
  EXPECT_EQ(n.size(), 2u);
}
