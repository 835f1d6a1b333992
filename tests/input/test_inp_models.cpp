// .inp models driven through the whole run: a bar of unit cubes, each cut
// into elements of one type, clamped at x = 0 and moving at v0 against it
// in uniaxial strain. The mass is the density times the volume, and while
// the compression wave runs up the bar its momentum falls by the wall force
// rho c A v0, with c = sqrt(M / rho) and M = lambda + 2 mu, the wall
// stress being rho c v0. Element types, materials and output requests are
// checked on it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <fstream>
#include <map>
#include <sstream>

#include "core/part.h"
#include "core/section.h"
#include "elements/elmmanager.h"
#include "input/inpReader.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"
#include "tests/decks/deck_case.h"

using namespace deckcase;

namespace {

constexpr int kCubes = 40;
constexpr double kDensity = 7.85e-9, kYoungs = 210000.0, kPoisson = 0.3;

// Local corners of a cube (hexahedron order) and its cuts into each type,
// as 1-based local corners; 9 is the cube's centre.
const double kCorner[9][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1},
                              {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0.5, 0.5, 0.5}};
struct Cut {
    const char* type;
    std::vector<std::vector<int>> elements;
    int formulation;   // the section's element code
    int elementType;   // the code the elements compute with
};
const std::vector<Cut> kCuts = {
    {"C3D8R", {{1, 2, 3, 4, 5, 6, 7, 8}}, 18, 18},
    {"SC8R", {{1, 2, 3, 4, 5, 6, 7, 8}}, 23, 18},
    {"C3D6", {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}}, 20, 20},
    {"SC6R", {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}}, 22, 20},
    {"C3D6R", {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}}, 21, 21},
    {"C3P5",
     {{1, 2, 3, 4, 9}, {5, 8, 7, 6, 9}, {1, 5, 6, 2, 9}, {2, 6, 7, 3, 9}, {3, 7, 8, 4, 9}, {4, 8, 5, 1, 9}},
     16,
     16},
    {"C3D10M",
     {{1, 2, 3, 7}, {1, 3, 4, 7}, {1, 4, 8, 7}, {1, 8, 5, 7}, {1, 5, 6, 7}, {1, 6, 2, 7}},
     27,
     27},
};

// Ten-node tetrahedron: mid-side nodes on edges 1-2, 2-3, 3-1, 1-4, 2-4, 3-4.
const int kTetEdge[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

struct Mesh {
    std::vector<std::array<double, 3>> nodes;
    std::map<std::array<long, 3>, int> byPosition;
    int node(double x, double y, double z) {
        const std::array<long, 3> key = {std::lround(2 * x), std::lround(2 * y), std::lround(2 * z)};
        const auto found = byPosition.find(key);
        if (found != byPosition.end()) return found->second;
        nodes.push_back({x, y, z});
        return byPosition[key] = static_cast<int>(nodes.size());
    }
};

// The material and motion of a bar, and deck text added to its step.
struct Bar {
    std::string material = "*Material, name=STEEL\n*Density\n7.85e-09,\n*Elastic\n210000., 0.3\n";
    double density = kDensity;
    double modulus = kYoungs * (1 - kPoisson) / ((1 + kPoisson) * (1 - 2 * kPoisson));  // lambda + 2 mu
    double speed = -1000.0;
    std::string step;
    double waveSpeed() const { return std::sqrt(modulus / density); }
    double crossing() const { return kCubes / waveSpeed(); }
};

// The bar deck as a pre-processor writes it: blank-padded fields, a part,
// a section over the part's element set, per-node boundaries.
std::string barDeck(const Cut& cut, const Bar& bar = Bar()) {
    Mesh mesh;
    std::ostringstream elements;
    int id = 0;
    for (int c = 0; c < kCubes; ++c) {
        for (const std::vector<int>& local : cut.elements) {
            std::vector<int> ids;
            auto at = [&](const double* p) { return mesh.node(c + p[0], p[1], p[2]); };
            for (int k : local) ids.push_back(at(kCorner[k - 1]));
            if (std::string(cut.type) == "C3D10M") {
                for (const auto& edge : kTetEdge) {
                    double mid[3];
                    for (int d = 0; d < 3; ++d) mid[d] = 0.5 * (kCorner[local[edge[0]] - 1][d] + kCorner[local[edge[1]] - 1][d]);
                    ids.push_back(at(mid));
                }
            }
            elements << ++id;
            for (size_t k = 0; k < ids.size(); ++k) elements << (k == 7 ? ",\n  " : ", ") << ids[k];
            elements << "\n";
        }
    }
    std::ostringstream deck;
    deck.precision(17);
    deck << "*Heading\n*Part, name=BAR\n*Node\n";
    for (size_t n = 0; n < mesh.nodes.size(); ++n) {
        deck << "  " << n + 1 << ",  " << mesh.nodes[n][0] << ",  " << mesh.nodes[n][1] << ",  " << mesh.nodes[n][2]
             << "\n";
    }
    deck << "*Element, type=" << cut.type << "\n" << elements.str();
    deck << "*Elset, elset=BAR-ALL, generate\n 1, " << id << ", 1\n*Solid Section, elset=BAR-ALL, material=STEEL\n,\n"
         << "*End Part\n*Nset, nset=ALL, generate\n 1, " << mesh.nodes.size() << ", 1\n*Nset, nset=WALL\n";
    for (size_t n = 0; n < mesh.nodes.size(); ++n) {
        if (mesh.nodes[n][0] == 0.0) deck << " " << n + 1 << ",\n";
    }
    deck << bar.material << "*Initial Conditions, type=VELOCITY\nALL, 1, " << bar.speed
         << "\n*Boundary\nWALL, 1, 1\nALL, 2, 3\n*Step\n*Dynamic, Explicit\n, " << 0.8 * bar.crossing() << "\n"
         << bar.step << "*End Step\n";
    return deck.str();
}

// Records, once the model is set up, each part's section code and the type
// codes its elements compute with.
struct TypeProbe : Probe {
    std::vector<int>* formulations = nullptr;
    std::set<int>* types = nullptr;
    std::vector<Sample>* out = nullptr;
    void init(FEMDynamic* fem) override {
        for (const Part& part : fem->part_array) {
            formulations->push_back(part.section->element_formulation);
            for (const SolidElementCuda& e : part.elmManager->solid_element_array_cpu) types->insert(e.type);
            for (const SolidElement2nd& e : part.elmManager->solid2ndArrayCpu_) types->insert(e.type);
        }
    }
    ~TypeProbe() override { *out = std::move(samples); }
};

double momentum(const Sample& sample) {
    double p = 0.0;
    for (const NodeCuda& node : sample.nodes) p += node.mass * node.vel[0];
    return p;
}

// The sample nearest to time t.
const Sample& at(const std::vector<Sample>& samples, double t) {
    size_t best = 0;
    for (size_t s = 0; s < samples.size(); ++s) {
        if (std::fabs(samples[s].time - t) < std::fabs(samples[best].time - t)) best = s;
    }
    return samples[best];
}

// Runs a bar deck; the samples of every cycle.
std::vector<Sample> runBar(const std::string& name, const std::string& deck, std::vector<int>* formulations = nullptr,
                           std::set<int>* types = nullptr) {
    const fs::path scratch = scratchFolder(name);
    std::ofstream(scratch / "deck.inp") << deck;
    std::vector<int> unusedFormulations;
    std::set<int> unusedTypes;
    std::vector<Sample> samples;
    auto probe = std::make_unique<TypeProbe>();
    probe->formulations = formulations != nullptr ? formulations : &unusedFormulations;
    probe->types = types != nullptr ? types : &unusedTypes;
    probe->out = &samples;
    runModelAt(scratch, std::move(probe));
    return samples;
}

// The bar's mass and the momentum the wall takes between a quarter and
// three quarters of the wave's crossing (half the bar's).
void expectWave(const std::vector<Sample>& samples, const Bar& bar) {
    ASSERT_GT(samples.size(), 30u);
    const double mass = bar.density * kCubes;
    double total = 0.0;
    for (const NodeCuda& node : samples.front().nodes) total += node.mass;
    EXPECT_NEAR(total, mass, 1e-12 * mass);
    const double t = bar.crossing();
    const double drop = momentum(at(samples, 0.25 * t)) - momentum(at(samples, 0.75 * t));
    EXPECT_NEAR(drop, 0.5 * mass * bar.speed, 0.025 * std::fabs(0.5 * mass * bar.speed));
}

}  // namespace

TEST(InpModels, BarsOfEveryElementTypeCarryTheWaveOfTheTheory) {
    for (const Cut& cut : kCuts) {
        SCOPED_TRACE(cut.type);
        std::vector<int> formulations;
        std::set<int> types;
        const std::vector<Sample> samples = runBar(std::string("inp_type_") + cut.type, barDeck(cut), &formulations, &types);
        EXPECT_EQ(formulations, std::vector<int>{cut.formulation});
        EXPECT_EQ(types, std::set<int>{cut.elementType});
        expectWave(samples, Bar());
        // y and z are held: every node stays in its line.
        ASSERT_FALSE(samples.empty());
        for (const NodeCuda& node : samples.back().nodes) {
            EXPECT_EQ(node.total_disp[1], 0.0);
            EXPECT_EQ(node.total_disp[2], 0.0);
        }
    }
}

// C10 = 0.5, C01 = 0.1 and D1 = 2 / K0 with K0 = 59.6: shear modulus
// mu0 = 2 (C10 + C01) = 1.2, M = K0 + 4 mu0 / 3 = 61.2.
TEST(InpModels, MooneyRivlinBarTakesItsModuliFromC10C01AndD1) {
    Bar rubber;
    rubber.material =
        "*Material, name=STEEL\n*Hyperelastic, mooney-rivlin\n0.5, 0.1, 0.033557046979865772\n*Density\n1e-9,\n";
    rubber.density = 1e-9;
    rubber.modulus = 61.2;
    rubber.speed = -100.0;
    expectWave(runBar("inp_rubber", barDeck(kCuts[0], rubber)), rubber);

    // The constants themselves, and the blank-separated keyword form.
    FEMDynamic* fem = new FEMDynamic[1];
    fem->newManagers();
    std::string deck = barDeck(kCuts[0], rubber);
    const size_t comma = deck.find("*Hyperelastic,");
    deck.replace(comma, 14, "*Hyperelastic ");
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(readInpText(fem, deck, "rubber.inp"), 1) << ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStderr();
    const Material& material = fem->materialManager->material_array.at(0);
    EXPECT_EQ(material.type, 8);
    EXPECT_DOUBLE_EQ(material.mooney_rivlin_constants[0], 0.5);
    EXPECT_DOUBLE_EQ(material.mooney_rivlin_constants[1], 0.1);
    EXPECT_NEAR(material.mooney_rivlin_constants[2], 14.6, 1e-12);  // lambda0 / 4 - C01
    delete[] fem;
}

// History requests follow the wall's node set and the first element; the
// field request writes Tecplot files with displacements and stresses.
TEST(InpModels, OutputRequestsWriteTheirFilesAndColumns) {
    Bar bar;
    const double interval = bar.crossing() / 4;
    std::ostringstream step;
    step.precision(17);
    step << "*Output, history, time interval=" << interval << "\n*Node Output, nset=WALL\nRF, S\n"
         << "*Element Output, elset=FIRST\nS, PE, LE\n*Output, field, number interval=2\n*Tecplot Output\nU, S\n";
    bar.step = step.str();
    std::string deck = barDeck(kCuts[0], bar);
    deck.insert(deck.find("*Material"), "*Elset, elset=FIRST\n1\n");
    const fs::path scratch = scratchFolder("inp_outputs");
    std::ofstream(scratch / "deck.inp") << deck;
    ::testing::internal::CaptureStderr();
    runModelAt(scratch, std::make_unique<Probe>());
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("the variable LE is not written by this output"), std::string::npos) << messages;

    // Node stresses: time, node id, six components per wall node and output
    // point; after the wave passed the wall, sxx = rho c v0 and
    // syy = szz = nu / (1 - nu) sxx.
    std::ifstream stress(scratch / "work" / "nodeoutput" / "nodestress_file_WALL.txt");
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(stress, line);) {
        std::istringstream in(line);
        std::vector<double> row;
        for (double v; in >> v;) row.push_back(v);
        rows.push_back(row);
    }
    ASSERT_GE(rows.size(), 16u);  // four nodes at t = 0, T/4, T/2, 3T/4 at least
    const std::vector<double>& last = rows.back();
    ASSERT_EQ(last.size(), 8u);
    const double wall = bar.density * bar.waveSpeed() * bar.speed;
    EXPECT_NEAR(last[2], wall, 0.05 * std::fabs(wall));
    EXPECT_NEAR(last[3], kPoisson / (1 - kPoisson) * wall, 0.05 * std::fabs(wall));
    EXPECT_TRUE(fs::exists(scratch / "work" / "nodeoutput" / "contact_file_WALL.txt"));
    // Element 1: its id, then its one point's stress and strain.
    EXPECT_EQ(readText(scratch / "work" / "elementoutput" / "element_point_stress_file_FIRST.txt").rfind("1\t\n", 0), 0u);
    EXPECT_TRUE(fs::exists(scratch / "work" / "elementoutput" / "element_point_strain_file_FIRST.txt"));
    // The field request replaces the default VTK output.
    const std::string plt = readText(scratch / "work" / "result.plt");
    EXPECT_NE(plt.find("\"dx\""), std::string::npos);
    EXPECT_NE(plt.find("\"sts_x\""), std::string::npos);
    EXPECT_EQ(plt.find("\"str_x\""), std::string::npos);
    EXPECT_TRUE(vtkFiles(scratch / "work").empty());
}

// A bar exported by a pre-processor (CRLF, part, assembly and instance,
// continued element lines) of ten-node tetrahedra, with its history and
// field requests.
TEST(InpModels, ExportedTenNodeTetrahedronBarAndItsOutputs) {
    const fs::path scratch = scratchFolder("inp_tet10_bar");
    fs::copy_file(caseFolder("inp_tet10_bar") / "deck.inp", scratch / "deck.inp");
    std::vector<Sample> samples;
    std::vector<int> formulations;
    std::set<int> types;
    auto probe = std::make_unique<TypeProbe>();
    probe->formulations = &formulations;
    probe->types = &types;
    probe->out = &samples;
    runModelAt(scratch, std::move(probe));
    EXPECT_EQ(types, std::set<int>{27});
    Bar bar;
    const double crossing10 = 10.0 / bar.waveSpeed();
    double mass = 0.0;
    ASSERT_FALSE(samples.empty());
    for (const NodeCuda& node : samples.front().nodes) mass += node.mass;
    EXPECT_NEAR(mass, 10 * kDensity, 1e-12 * mass);
    const double drop = momentum(at(samples, 0.25 * crossing10)) - momentum(at(samples, 0.75 * crossing10));
    EXPECT_NEAR(drop, 0.5 * mass * bar.speed, 0.03 * std::fabs(0.5 * mass * bar.speed));

    // The wall's mean stress at the last history point.
    std::ifstream stress(scratch / "work" / "nodeoutput" / "nodestress_file_WALL.txt");
    std::map<double, std::vector<double>> byTime;
    for (double time, id, sxx, rest; stress >> time >> id >> sxx;) {
        for (int k = 0; k < 5; ++k) stress >> rest;
        byTime[time].push_back(sxx);
    }
    ASSERT_EQ(byTime.size(), 7u);
    const std::vector<double>& last = byTime.rbegin()->second;
    ASSERT_EQ(last.size(), 9u);  // four corners and five mid-side nodes
    double mean = 0.0;
    for (double v : last) mean += v / 9;
    const double wall = bar.density * bar.waveSpeed() * bar.speed;
    EXPECT_NEAR(mean, wall, 0.03 * std::fabs(wall));
    // Element 1: seven blocks of its id and four points.
    std::ifstream element(scratch / "work" / "elementoutput" / "element_point_stress_file_FIRST.txt");
    int lines = 0;
    for (std::string line; std::getline(element, line);) ++lines;
    EXPECT_EQ(lines, 7 * 5);
    const std::string plt = readText(scratch / "work" / "result.plt");
    int blocks = 0;
    for (size_t at = plt.find("variables="); at != std::string::npos; at = plt.find("variables=", at + 1)) ++blocks;
    EXPECT_EQ(blocks, 7);
}
