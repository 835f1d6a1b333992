// The flat material record of one material card: card values as read, the
// derived elastic constants, hardening data, tables, linked curves and wave
// speeds.  One layout on host and device; the whole record is copied byte
// for byte, so it holds no std::string and no owned pointer.
#pragma once
#include <cmath>
#include <type_traits>

#include "core/curve.h"
#include "core/fixedName.h"
#include "platform/gpuRuntime.h"

class CurveManager;

constexpr int kMaterialNameLength = 88;
constexpr int kMaterialLinkedCurveNum = 24;
constexpr int kMaterialTablePointMax = 128;
constexpr int kMaterialInputPointNum = 8;  // stress-strain points of a piecewise-linear card

struct Material {
  int id = 0;  // 1-based position among the materials
  FixedName<kMaterialNameLength> name;
  int type = 0;      // MaterialNewType code
  int curve_id = 0;  // stress-strain curve id (0: none); also the nonlinear spring's curve
  int option = 0;    // integer option copied into the model objects
  // Discrete-beam values after the density, in card order; the first six
  // are the stiffnesses of the linear 6x6 model.
  double discrete_stiffness[6] = {};
  double discrete_damping[6] = {};
  double discrete_preload[6] = {};
  int curve_ids[kMaterialLinkedCurveNum] = {};       // general nonlinear discrete beam (0: none)
  CurveData linked_curves[kMaterialLinkedCurveNum];  // copies of those curves (type 7)
  // General nonlinear discrete-beam card 1 values and failure cards.
  double translational_stiffness = 0.0;
  double rotational_stiffness = 0.0;
  int unloading_option = 0;
  double beam_offset = 0.0;
  double damping_factor = 0.0;
  int input_flag = 0;  // 2: the extra option cards are read
  double tension_failure_limits[7] = {};
  double compression_failure_limits[6] = {};
  double failure_option_values[6] = {};
  int extra_option_values[20] = {};
  // Hardening table (plastic strain, stress) copied from the stress-strain curve.
  int table_count = 0;
  double table_stress[kMaterialTablePointMax] = {};
  double table_strain[kMaterialTablePointMax] = {};
  double youngs_modulus = 0.0;          // E
  double density = 0.0;                 // rho
  double poissons_ratio = 0.0;          // nu
  double yield_stress = 0.0;            // initial yield stress
  double hardening_modulus = 0.0;       // H (model 1: saturation stress)
  double shear_modulus = 0.0;           // G (derived)
  double bulk_modulus = 0.0;            // K (derived)
  double tangent_modulus = 0.0;         // Et
  double hardening_parameter = 0.0;     // kinematic plastic card, after Et
  double failure_plastic_strain = 0.0;  // piecewise plastic cards, after Et
  // Elastic card fields 5-7.
  double axial_damping = 0.0;
  double bending_damping = 0.0;
  double elastic_bulk_modulus = 0.0;
  // Null card values after the density.
  double pressure_cutoff = 0.0;
  double viscosity = 0.0;
  double tension_erosion = 0.0;
  double compression_erosion = 0.0;
  // Kinematic plastic card 2 and the shared rate value.
  double strain_rate_c = 0.0;
  double strain_rate_p = 0.0;
  double failure_strain = 0.0;
  double viscoplastic_flag = 0.0;
  int hardening_curve_id = 0;  // piecewise cards; copied into curve_id
  // Honeycomb card 1 values.
  double compacted_volume = 0.0;
  double honeycomb_damping = 0.0;
  // Modified piecewise card 2 values.
  double thinning_strain = 0.0;
  double major_strain = 0.0;
  // Spot-weld cards.
  double plastic_hardening_modulus = 0.0;
  double output_interval = 0.0;
  double failure_time = 0.0;
  double weld_failure_strain = 0.0;
  double weld_axial_force = 0.0;
  double weld_shear_force_s = 0.0;
  double weld_shear_force_t = 0.0;
  // Rigid cards after E and nu.
  double coupling_n = 0.0;
  double coupling_option = 0.0;
  double coupling_m = 0.0;
  double alias_value = 0.0;
  double constraint_option = 0.0;
  double constraint_1 = 0.0;
  double constraint_2 = 0.0;
  double local_axes[6] = {};
  // Piecewise cards.
  double deletion_time_step = 0.0;
  double rate_c = 0.0;
  double rate_p = 0.0;
  int rate_curve_id = 0;                                    // also read by the honeycomb card
  double input_strain_points[kMaterialInputPointNum] = {};  // EPS1-8
  double input_stress_points[kMaterialInputPointNum] = {};  // ES1-8
  // Honeycomb block.
  double bulk_viscosity_flag = 0.0;
  int honeycomb_curve_ids[7] = {};
  double uncompacted_moduli[6] = {};
  double axes_option = 0.0;
  int axes_change_option = 0;
  double axes_point[3] = {};
  double axes_a[3] = {};
  double axes_d[3] = {};
  double tensile_failure_strain = 0.0;
  double shear_failure_strain = 0.0;
  double axes_v[3] = {};
  double failure_point_count = 0.0;  // modified piecewise card 2 field 8
  // Spot-weld card 2, remaining values.
  double weld_torsion_moment = 0.0;
  double weld_bending_moment_s = 0.0;
  double weld_bending_moment_t = 0.0;
  double weld_failure_flag = 0.0;
  int rotational_curve_id = 0;  // nonlinear elastic spring, second integer
  // Nonlinear plastic discrete beam.
  double yield_curve_values[6] = {};
  double failure_loads[6] = {};
  double failure_displacements[6] = {};
  double damping_constant = 0.0;  // viscous damper
  // Power-law hardening (model 2): yield = K eps0^n.
  double power_law_k = 0.0;
  double power_law_n = 0.0;
  double power_law_eps0 = 0.0;
  int plastic_model = 0;                      // hardening law 0-4 of the elastic-plastic model
  double elastic_matrix[6][6] = {};           // isotropic 3-D stiffness (derived)
  double plane_stress_matrix[3][3] = {};      // (derived)
  double transverse_shear_matrix[2][2] = {};  // diag(G, G) (derived)
  CurveData spare_curve;
  double mooney_rivlin_constants[3] = {};
  double wave_speed[4] = {};  // c_solid, c_plate, c_bar (derived); the fourth is carried, not computed
  double foam_constants[3] = {};
  int loading_curve_id = 0;    // low-density foam loading curve (0: none)
  int unloading_curve_id = 0;  // unloading curve (0: none)
  CurveData loading_curve;
  CurveData unloading_curve;

  Material() = default;

  // Every field zero (the state the readers start each card from).
  void clear();

  // Table := the points of the stress-strain curve (at most 128).  A null
  // curve leaves the table as it is.
  void copyStressStrainCurve(const Curve* curve);
  // Table := the stress-strain points of a piecewise-linear card (EPS1-8,
  // ES1-8) up to the last point that gives a strain or a stress.
  void copyInputPoints();
  // Hardening data by plastic model, G, K and the three stiffness matrices;
  // a Mooney-Rivlin record first gets its E and nu (deriveMooneyRivlinModuli).
  void calMaterialConstants();
  // E and nu of the Mooney-Rivlin law at small strain: linearising its stress
  // at F = I gives mu0 = 2 (c1 + c2) and lambda0 = 4 (c2 + c3), so that the
  // wave speeds, the step and the hourglass stiffness see the rubber.  Both
  // are set to 0 when the moduli are not positive.
  void deriveMooneyRivlinModuli();
  // mu0 > 0 and bulk modulus lambda0 + 2 mu0 / 3 > 0, both finite.
  bool mooneyRivlinModuliValid() const;
  // Type 7: copies every linked curve whose id is > 0; type 9: copies the
  // loading and unloading curves.  An id that names no curve is reported
  // and its slot left as it is.
  void copyLinkedCurves(CurveManager* curveManager);
  // c_solid, c_plate, c_bar from E, nu and rho.
  void computeWaveNumber();
};
static_assert(std::is_trivially_copyable_v<Material>);

// The three isotropic wave speeds, shared by the record and the models.
__host__ __device__ inline double solidWaveSpeed(double E, double nu, double rho) {
  return std::sqrt(E / (1.0 + nu) * (1.0 - nu) / ((1.0 - 2.0 * nu) * rho));
}
__host__ __device__ inline double plateWaveSpeed(double E, double nu, double rho) {
  return std::sqrt(E / ((1.0 - nu * nu) * rho));
}
__host__ __device__ inline double barWaveSpeed(double E, double rho) { return std::sqrt(E / rho); }
